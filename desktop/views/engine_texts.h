// The engine (store and link) speaks English: its status texts and the
// details of its failures are fixed English sentences, some with a number or
// a name in them. The windows show them in the desktop's language through
// this one table, so the engine stays free of Qt and its texts stay the
// originals (the log and the command line tool keep them as they are).
#pragma once

#include <QString>
#include <string_view>

#include "desktop/store/orx_exception.h"

namespace quillet {

// `text` in the desktop's language when the translation has it (the numbers
// and names in it carried over), else `text` exactly as the engine made it.
QString shown_engine_text(std::u16string_view text);

// A failure as a message box tells it: the window's own sentence `prefix`
// (already translated), then the engine's text; as long as
// ORX_Exception::with_prefix would make it.
QString failure_text(const QString& prefix, const ORX_Exception& failure);

}  // namespace quillet
