// The engine (store and link) speaks English: the details of its failures
// and a few notices are fixed English sentences, some with a number or a
// name in them. The windows show them in the desktop's language through
// this one table, so the engine stays free of Qt and its texts stay the
// originals (the log and the command line tool keep them as they are). What
// an operation is doing comes as a typed status (status_sink.h), worded
// here from its figures. The message view's templates (templates/*.html)
// are English files; their words are shown in the desktop's language the
// same way.
#pragma once

#include <QString>
#include <string_view>

#include "desktop/store/orx_exception.h"
#include "desktop/store/status_sink.h"

namespace quillet {

// `text` in the desktop's language when the translation has it (the numbers
// and names in it carried over), else `text` exactly as the engine made it.
QString shown_engine_text(std::u16string_view text);

// A status the engine reported, in the desktop's language where the
// translation has it, else in the engine's English.
QString shown_status(const EngineStatus& status);

// `page` (a page made from one of the program's templates) with the
// templates' own English words in the desktop's language: the text between
// two tags that is exactly one of them. Words a user put in a template of
// their own stay as they are.
QString with_template_words(const QString& page);

// A failure as a message box tells it: the window's own sentence `prefix`
// (already translated), then the engine's text; as long as
// ORX_Exception::with_prefix would make it.
QString failure_text(const QString& prefix, const ORX_Exception& failure);

}  // namespace quillet
