#include "app/card_format_action.h"

#include "app/card_op_form.h"
#include "app/message_boxes.h"
#include "card/card_state.h"
#include "prepare/format_card.h"

namespace app {

void FormatCardAction(TCardOpForm& form) {
  card::CardMedium& m = form.medium();
  if (m.imageMode) return;  // a card image folder cannot be formatted
  const QString drive = QString::fromStdString(card::MediumLabel(m));
  if (!AskYesNo(&form, BoxKind::warning,
                QStringLiteral("Вы действительно хотите отформатировать\nсменный носитель ") + drive +
                    QStringLiteral(" ?\nВсе данные на нём будут потеряны.")))
    return;
  const prepare::FormatResult r = prepare::FormatCard(m);
  if (!r.ok)
    ShowError(&form, QStringLiteral("Произошла ошибка при форматировании карты!\n") +
                         QString::fromStdString(r.errorText));
  form.Reopen();
}

}  // namespace app
