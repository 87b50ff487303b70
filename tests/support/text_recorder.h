// The recorder of painted texts, for the tests.
#pragma once

#include "controls/text_recorder.h"

namespace wux::test {

using controls::PaintedText;
using controls::TextRecorder;

} // namespace wux::test
