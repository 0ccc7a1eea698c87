#include "app/card_prep_actions.h"

#include "app/card_op_form.h"
#include "app/message_boxes.h"
#include "app/settings_form.h"
#include "prepare/ring_pointers.h"
#include "prepare/service_sector_write.h"

namespace app {

namespace {

QString MediumLabel(TCardOpForm& form) {
  return QString::fromStdString(prepare::MediumLabel(form.medium()));
}

// Opens the card for writing and stores the changed sector; true only when it was written.
bool WriteChange(TCardOpForm& form, const std::function<bool(card::ServiceSector&)>& change) {
  card::CardMedium& m = form.medium();
  return prepare::MakeMediumWritable(m) &&
         prepare::ApplyToCardServiceSector(m, change) == prepare::WriteOutcome::written;
}

// A card image is a read-only copy: none of these operations exists for it, so its hidden
// keys (which reach here while the disabled mode button cannot take the focus) do nothing.
bool IsImage(TCardOpForm& form) { return form.medium().imageMode; }

const QString kClearFailed = QStringLiteral("Произошла ошибка при попытке очистить карту!");

}  // namespace

void ClearCardAction(TCardOpForm& form) {
  if (IsImage(form)) return;
  if (!AskYesNo(&form, BoxKind::warning,
                QStringLiteral("Вы действительно хотите удалить\nвсе записи на карте памяти ") +
                    MediumLabel(form) + QStringLiteral(" ?")))
    return;
  const bool ok = WriteChange(form, [](card::ServiceSector& s) {
    prepare::ClearCard(s);
    return true;
  });
  if (ok)
    ShowInformation(&form, QStringLiteral("Карта памяти очищена."));
  else
    ShowError(&form, kClearFailed);
  form.Reopen();
}

void EraseCardAction(TCardOpForm& form) {
  if (IsImage(form)) return;
  if (!AskYesNo(&form, BoxKind::warning,
                QStringLiteral("Вы действительно хотите удалить\nвсе записи на карте памяти ") +
                    MediumLabel(form) + QStringLiteral(" ?!")))
    return;
  const bool ok = WriteChange(form, [](card::ServiceSector& s) {
    prepare::EraseCard(s);
    return true;
  });
  if (ok)
    ShowInformation(&form, QStringLiteral("Карта памяти очищена!"));
  else
    ShowError(&form, kClearFailed);
  form.Reopen();
}

bool RecoverRecordsAction(TCardOpForm& form) {
  if (IsImage(form)) return false;
  if (!AskYesNo(&form, BoxKind::warning,
                QStringLiteral("Вы действительно хотите попытаться\nвосстановить все возможные "
                               "записи\nна карте памяти ") +
                    MediumLabel(form) + QStringLiteral(" ?")))
    return false;
  card::CardMedium& m = form.medium();
  prepare::RecoverOutcome outcome = prepare::RecoverOutcome::ready;
  const bool ok = WriteChange(form, [&](card::ServiceSector& s) {
    outcome = prepare::RecoverRecords(
        s, prepare::RegionPlace{m.partitionStart, m.hcpt0000Sector, m.dirRegionSectors});
    return outcome == prepare::RecoverOutcome::ready;
  });
  if (ok) {
    ShowInformation(&form, QStringLiteral("Произведена попытка воостановления записей."));
  } else {
    QString text = QStringLiteral("Неудачная попытка восстановления!");
    // Without the region's size a recovery would hand the recorder an empty region.
    if (outcome == prepare::RecoverOutcome::regionUnknown)
      text += QStringLiteral("\nНе удалось определить размер области записей (hcpt0000.hcf).");
    ShowError(&form, text);
  }
  form.CloseForReopen();
  return ok;
}

void SettingsAction(TSettingsForm& settings, TCardOpForm& form) {
  settings.openFor(form.medium().serviceSector, [&](const card::ServiceSector& edited) {
    const bool ok = WriteChange(form, [&](card::ServiceSector& s) {
      s = edited;
      return true;
    });
    // The medium keeps the card's sector after a failure, so the card state stays true.
    if (!ok) ShowError(&settings, QStringLiteral("Не удалось записать настройки на карту памяти!"));
  });
}

}  // namespace app
