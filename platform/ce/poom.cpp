#include "platform/ce/poom.h"

#include "platform/ce/mapi.h"
#include "platform/phone/device_store.h"

namespace quillet::ce {

IContact::IContact(std::shared_ptr<const std::vector<phone::PhoneContact>> items, size_t index)
    : items_(std::move(items)), index_(index) {}
IContact::IContact(std::shared_ptr<phone::PhoneStore> store)
    : store_(std::move(store)), draft_(phone::PhoneContact{}) {}
IContact::~IContact() = default;

HRESULT IContact::put_FirstName(std::u16string_view value) {
    if (!draft_)
        return E_ACCESSDENIED;
    draft_->first_name = value;
    return S_OK;
}

HRESULT IContact::put_LastName(std::u16string_view value) {
    if (!draft_)
        return E_ACCESSDENIED;
    draft_->last_name = value;
    return S_OK;
}

HRESULT IContact::put_MobileTelephoneNumber(std::u16string_view value) {
    if (!draft_)
        return E_ACCESSDENIED;
    draft_->mobile = value;
    return S_OK;
}

HRESULT IContact::Save() {
    if (!store_)
        return S_OK;
    try {
        store_->add_contact(*draft_);
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    // Saved once: a second Save must not add it again.
    store_.reset();
    return S_OK;
}

HRESULT IContact::get_FirstName(std::u16string& value) const {
    value = contact().first_name;
    return S_OK;
}

HRESULT IContact::get_LastName(std::u16string& value) const {
    value = contact().last_name;
    return S_OK;
}

HRESULT IContact::get_MobileTelephoneNumber(std::u16string& value) const {
    value = contact().mobile;
    return S_OK;
}

HRESULT IContact::get_OtherTelephoneNumber(std::u16string& value) const {
    value = contact().other_numbers;
    return S_OK;
}

IPOutlookItemCollection::IPOutlookItemCollection(std::vector<phone::PhoneContact> items)
    : items_(std::make_shared<const std::vector<phone::PhoneContact>>(std::move(items))) {}
IPOutlookItemCollection::~IPOutlookItemCollection() = default;

HRESULT IPOutlookItemCollection::get_Count(int* count) const {
    if (count == nullptr)
        return E_INVALIDARG;
    *count = static_cast<int>(items_->size());
    return S_OK;
}

HRESULT IPOutlookItemCollection::Item(int index, std::unique_ptr<IContact>& item) const {
    if (index < 1 || static_cast<size_t>(index) > items_->size())
        return E_INVALIDARG;
    item = std::make_unique<IContact>(items_, static_cast<size_t>(index) - 1);
    return S_OK;
}

IFolder::IFolder(std::shared_ptr<phone::PhoneStore> store) : store_(std::move(store)) {}
IFolder::~IFolder() = default;

HRESULT IFolder::get_Items(std::unique_ptr<IPOutlookItemCollection>& items) {
    try {
        items = std::make_unique<IPOutlookItemCollection>(store_->contacts());
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    return S_OK;
}

IPOutlookApp::IPOutlookApp() = default;
IPOutlookApp::~IPOutlookApp() = default;

HRESULT IPOutlookApp::Logon(long /*window*/) {
    try {
        store_ = phone::device_store();
    } catch (const phone::PhoneDbError&) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT IPOutlookApp::Logoff() {
    store_.reset();
    return S_OK;
}

HRESULT IPOutlookApp::GetDefaultFolder(int folder, std::unique_ptr<IFolder>& result) {
    if (!store_)
        return E_FAIL;
    if (folder != olFolderContacts)
        return E_INVALIDARG;
    result = std::make_unique<IFolder>(store_);
    return S_OK;
}

HRESULT IPOutlookApp::CreateItem(int item_type, std::unique_ptr<IContact>& item) {
    if (!store_)
        return E_FAIL;
    if (item_type != olContactItem)
        return E_INVALIDARG;
    item = std::make_unique<IContact>(store_);
    return S_OK;
}

HRESULT CoCreateInstance(const CLSID& clsid, void* /*outer*/, DWORD /*context*/, const IID& iid,
                         std::unique_ptr<IPOutlookApp>& app) {
    if (!com_initialized())
        return CO_E_NOTINITIALIZED;
    if (!(clsid == CLSID_Application))
        return REGDB_E_CLASSNOTREG;
    if (!(iid == IID_IPOutlookApp))
        return E_NOINTERFACE;
    app = std::make_unique<IPOutlookApp>();
    return S_OK;
}

}  // namespace quillet::ce
