// The engine (store and link) speaks English and stays free of Qt: what it
// reports that a window shows comes as a typed value, the kind of thing that
// happened with its figures, names and paths (a status, a link failure, the
// contact import's outcome, the data folder's move). The windows word each
// here, in the desktop's language where the translation has it, else in the
// engine's English exactly; the log and the command line tool keep the
// engine's own English. The message view's templates (templates/*.html) are
// English files; their words are shown in the desktop's language too.
#pragma once

#include <QString>
#include <string_view>

#include "desktop/store/contact_list.h"
#include "desktop/store/data_move.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/status_sink.h"

namespace quillet {

// A link failure by its kind, with the names and reasons the link gave; a
// failure of Kind::Other as its text.
QString shown_link_failure(const ORX_Exception& failure);

// What the contact import tells the user; empty when it imported.
QString shown_contacts_import(const ImportContactsResult& result);

// The new-message notice's text: the default in the desktop's language, a
// text the user wrote as written.
QString shown_popup_text(std::u16string_view text);

// The data folder's move for the status bar; empty when nothing moved.
QString shown_data_move(const DataMoveReport& report);

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
