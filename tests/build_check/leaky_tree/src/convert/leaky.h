// A core header that breaks the layering on purpose: the include check must reject it.
#pragma once
#include <QString>
#include "app/message_boxes.h"
