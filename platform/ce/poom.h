// The phone's own contacts (the Pocket Outlook object model), emulated over
// the phone image: the application object, logon and logoff, the default
// contacts folder, its items and three string properties of a contact.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ce/ce_types.h"
#include "platform/phone/phone_store.h"

namespace quillet::ce {

inline constexpr CLSID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
inline constexpr IID IID_IPOutlookApp = {
    0x05058F22, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr int olFolderContacts = 10;
inline constexpr int olContactItem = 2;

class IContact {
  public:
    // The contact at `index` of `items`, shared with the collection that
    // made it rather than copied.
    IContact(std::shared_ptr<const std::vector<phone::PhoneContact>> items, size_t index);
    // A new contact (IPOutlookApp::CreateItem), in the store once saved.
    explicit IContact(std::shared_ptr<phone::PhoneStore> store);
    virtual ~IContact();
    // Only on a new contact; E_ACCESSDENIED on one read from a folder.
    HRESULT put_FirstName(std::u16string_view value);
    HRESULT put_LastName(std::u16string_view value);
    HRESULT put_MobileTelephoneNumber(std::u16string_view value);
    // Adds a new contact to the phone's contacts; E_FAIL when the store
    // cannot, S_OK and nothing more for one already there.
    HRESULT Save();
    HRESULT get_FirstName(std::u16string& value) const;
    HRESULT get_LastName(std::u16string& value) const;
    HRESULT get_MobileTelephoneNumber(std::u16string& value) const;
    // The contact's other numbers, as the phone keeps them.
    HRESULT get_OtherTelephoneNumber(std::u16string& value) const;

  private:
    const phone::PhoneContact& contact() const { return draft_ ? *draft_ : (*items_)[index_]; }

    std::shared_ptr<const std::vector<phone::PhoneContact>> items_;
    size_t index_ = 0;
    // A new contact's store and fields.
    std::shared_ptr<phone::PhoneStore> store_;
    std::optional<phone::PhoneContact> draft_;
};

// The items of a folder, as they were when the collection was made.
class IPOutlookItemCollection {
  public:
    explicit IPOutlookItemCollection(std::vector<phone::PhoneContact> items);
    virtual ~IPOutlookItemCollection();
    HRESULT get_Count(int* count) const;
    // 1-based; E_INVALIDARG outside 1..count.
    HRESULT Item(int index, std::unique_ptr<IContact>& item) const;

  private:
    std::shared_ptr<const std::vector<phone::PhoneContact>> items_;
};

class IFolder {
  public:
    explicit IFolder(std::shared_ptr<phone::PhoneStore> store);
    virtual ~IFolder();
    HRESULT get_Items(std::unique_ptr<IPOutlookItemCollection>& items);

  private:
    std::shared_ptr<phone::PhoneStore> store_;
};

class IPOutlookApp {
  public:
    IPOutlookApp();
    virtual ~IPOutlookApp();
    // Opens the phone's contact store; E_FAIL when the image cannot be opened.
    HRESULT Logon(long window);
    HRESULT Logoff();
    // Only olFolderContacts; E_FAIL before Logon.
    HRESULT GetDefaultFolder(int folder, std::unique_ptr<IFolder>& result);
    // Only olContactItem; E_FAIL before Logon.
    HRESULT CreateItem(int item_type, std::unique_ptr<IContact>& item);

  private:
    std::shared_ptr<phone::PhoneStore> store_;
};

// Only CLSID_Application with IID_IPOutlookApp; CO_E_NOTINITIALIZED before
// CoInitializeEx on this thread.
HRESULT CoCreateInstance(const CLSID& clsid, void* outer, DWORD context, const IID& iid,
                         std::unique_ptr<IPOutlookApp>& app);

}  // namespace quillet::ce
