#include "desktop/store/status_sink.h"

#include "protocol/text_codec.h"

namespace quillet {
namespace {

std::u16string_view folder_words(BoxKind folder) {
    switch (folder) {
        case BoxKind::Inbox:
            return u"importing inbox";
        case BoxKind::SentItems:
            return u"importing sent sms";
        case BoxKind::DeletedItems:
            return u"importing deleted sms";
    }
    return u"importing";
}

std::u16string number(int n) {
    return from_utf8(std::to_string(n));
}

}  // namespace

std::u16string english(const EngineStatus& status) {
    switch (status.what) {
        case EngineStatus::What::FolderStarted:
            return std::u16string(folder_words(status.folder)) + u"...";
        case EngineStatus::What::FolderProgress:
            return std::u16string(folder_words(status.folder)) + u": " + number(status.figure) +
                   u"%";
        case EngineStatus::What::ContactRetrieved:
            return u"retrieving contact " + number(status.figure) + u": " + status.name;
        case EngineStatus::What::RestoreProgress:
            return u"restoring to the phone: " + number(status.figure) + u"%";
    }
    return {};
}

}  // namespace quillet
