#include "phonelet/outlook_contact_reader.h"

#include "platform/ce/mapi.h"
#include "protocol/text_codec.h"

namespace quillet {

OutlookContactReader::~OutlookContactReader() {
    close();
}

bool OutlookContactReader::open() {
    close();
    if (ce::FAILED(ce::CoInitializeEx(nullptr, ce::COINIT_MULTITHREADED)))
        return false;
    if (ce::FAILED(ce::CoCreateInstance(ce::CLSID_Application, nullptr, ce::CLSCTX_INPROC_SERVER,
                                        ce::IID_IPOutlookApp, app_))) {
        return false;
    }
    if (ce::FAILED(app_->Logon(0))) {
        app_.reset();
        return false;
    }
    return true;
}

void OutlookContactReader::close() {
    if (!app_)
        return;
    app_->Logoff();
    app_.reset();
}

int OutlookContactReader::for_each_numbered(const std::function<bool()>& visit) {
    if (!app_)
        return 0;
    std::unique_ptr<ce::IFolder> folder;
    std::unique_ptr<ce::IPOutlookItemCollection> items;
    int count = 0;
    if (ce::FAILED(app_->GetDefaultFolder(ce::olFolderContacts, folder)) ||
        ce::FAILED(folder->get_Items(items)) || ce::FAILED(items->get_Count(&count))) {
        return 0;
    }
    int visited = 0;
    // Kept across contacts: each assignment reuses the room the last one made.
    std::u16string number;
    std::u16string first;
    std::u16string last;
    std::u16string name;
    for (int position = 1; position <= count; ++position) {
        std::unique_ptr<ce::IContact> contact;
        if (ce::FAILED(items->Item(position, contact)))
            continue;
        if (ce::FAILED(contact->get_MobileTelephoneNumber(number)) || number.empty())
            continue;
        if (ce::FAILED(contact->get_FirstName(first)))
            first.clear();
        name.clear();
        if (ce::SUCCEEDED(contact->get_LastName(last))) {
            name.append(first).append(u",").append(last);
        }
        current_ = ContactWireRecord{};
        set_text_field(current_.number, to_ansi_field(number));
        set_text_field(current_.name, to_ansi_field(name));
        ++visited;
        if (!visit())
            break;
    }
    return visited;
}

int OutlookContactReader::send_all(DesktopConnection& connection) {
    return for_each_numbered([&] {
        connection.send(current_.encode());
        return true;
    });
}

int OutlookContactReader::count() {
    return for_each_numbered([] { return true; });
}

bool OutlookContactReader::send_one(DesktopConnection& connection, int index) {
    if (index < 0)
        return false;
    int position = 0;
    bool sent = false;
    for_each_numbered([&] {
        if (position++ < index)
            return true;
        connection.send(current_.encode());
        sent = true;
        return false;
    });
    return sent;
}

}  // namespace quillet
