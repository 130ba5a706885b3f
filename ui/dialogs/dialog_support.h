// Small pieces every dialog uses.
#pragma once

#include <QSpinBox>
#include <QString>
#include <algorithm>

#include "companions/base/tr.h"

// A text of the message catalogue as a QString.
inline QString T(const char* english) { return QString::fromUtf8(Tr(english)); }

// A spin box over [lo, hi] showing value (clamped into the range).
inline QSpinBox* NewSpin(int lo, int hi, int value) {
  auto* box = new QSpinBox;
  box->setRange(lo, hi);
  box->setValue(std::clamp(value, lo, hi));
  return box;
}
