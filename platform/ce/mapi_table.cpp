// IMAPITable and the property helpers of the emulated message store.
#include <algorithm>
#include <numeric>

#include "platform/ce/mapi.h"
#include "platform/phone/phone_db.h"

namespace quillet::ce {
namespace {

const SPropValue* find_prop(const SRow& row, ULONG tag) {
    for (const SPropValue& v : row) {
        if (v.ulPropTag == tag)
            return &v;
    }
    return nullptr;
}

// Orders two values of one tag; a missing value comes first.
int compare(const SPropValue* a, const SPropValue* b) {
    if (a == nullptr || b == nullptr)
        return (a != nullptr) - (b != nullptr);
    switch (PROP_TYPE(a->ulPropTag)) {
        case PT_LONG:
            return (a->l > b->l) - (a->l < b->l);
        case PT_SYSTIME:
            return (a->ft > b->ft) - (a->ft < b->ft);
        case PT_UNICODE:
            return a->lpszW.compare(b->lpszW);
        case PT_BINARY:
            return (a->bin > b->bin) - (a->bin < b->bin);
        default:
            return 0;
    }
}

}  // namespace

SPropValue prop_error(ULONG tag, HRESULT code) {
    SPropValue v;
    v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
    v.err = code;
    return v;
}

IMAPITable::IMAPITable(Loader loader) : loader_(std::move(loader)) {}

IMAPITable::~IMAPITable() = default;

HRESULT IMAPITable::SetColumns(const SPropTagArray& columns, ULONG /*flags*/) {
    if (columns.empty())
        return MAPI_E_INVALID_PARAMETER;
    columns_ = columns;
    return S_OK;
}

HRESULT IMAPITable::SortTable(const SSortOrderSet& order, ULONG /*flags*/) {
    order_ = order;
    cursor_ = 0;
    if (loaded_)
        sort();  // otherwise sorted when loaded
    return S_OK;
}

HRESULT IMAPITable::load() {
    if (loaded_)
        return S_OK;
    try {
        TableData data = loader_();
        rows_ = std::move(data.rows);
        keep_alive_ = std::move(data.keep_alive);
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    loaded_ = true;
    sort();
    return S_OK;
}

void IMAPITable::sort() {
    view_.resize(rows_.size());
    std::iota(view_.begin(), view_.end(), size_t{0});
    if (order_.empty())
        return;
    // Ties keep the rows' loaded order, reversed with a descending first key,
    // so that "newest first" is the exact reverse of "oldest first".
    const bool descending = order_.front().ulOrder == TABLE_SORT_DESCEND;
    const auto before = [&](size_t x, size_t y) {
        for (const SSortOrder& key : order_) {
            int c = compare(find_prop(rows_[x], key.ulPropTag), find_prop(rows_[y], key.ulPropTag));
            if (key.ulOrder == TABLE_SORT_DESCEND)
                c = -c;
            if (c != 0)
                return c < 0;
        }
        return descending ? x > y : x < y;
    };
    // Stores hand rows over mostly in time order already.
    if (descending)
        std::reverse(view_.begin(), view_.end());
    if (!std::is_sorted(view_.begin(), view_.end(), before))
        std::stable_sort(view_.begin(), view_.end(), before);
}

HRESULT IMAPITable::SeekRow(LONG origin, LONG row_count, LONG* rows_sought) {
    if (const HRESULT hr = load(); FAILED(hr))
        return hr;
    int64_t start = 0;
    if (origin == BOOKMARK_CURRENT)
        start = static_cast<int64_t>(cursor_);
    if (origin == BOOKMARK_END)
        start = static_cast<int64_t>(rows_.size());
    if (origin != BOOKMARK_BEGINNING && origin != BOOKMARK_CURRENT && origin != BOOKMARK_END) {
        return MAPI_E_INVALID_PARAMETER;
    }
    const int64_t target =
        std::clamp<int64_t>(start + row_count, 0, static_cast<int64_t>(rows_.size()));
    if (rows_sought != nullptr)
        *rows_sought = static_cast<LONG>(target - start);
    cursor_ = static_cast<size_t>(target);
    return S_OK;
}

HRESULT IMAPITable::QueryRows(LONG row_count, ULONG /*flags*/, SRowSet& rows) {
    rows.clear();
    if (row_count < 0)
        return MAPI_E_INVALID_PARAMETER;
    if (const HRESULT hr = load(); FAILED(hr))
        return hr;
    while (rows.size() < static_cast<size_t>(row_count) && cursor_ < rows_.size()) {
        rows.push_back(project(rows_[view_[cursor_++]]));
    }
    return S_OK;
}

HRESULT IMAPITable::GetRowCount(ULONG /*flags*/, ULONG* count) {
    if (const HRESULT hr = load(); FAILED(hr))
        return hr;
    if (count != nullptr)
        *count = static_cast<ULONG>(rows_.size());
    return S_OK;
}

SRow IMAPITable::project(const SRow& row) const {
    if (columns_.empty())
        return row;
    SRow out;
    out.reserve(columns_.size());
    for (ULONG tag : columns_) {
        const SPropValue* v = find_prop(row, tag);
        out.push_back(v != nullptr ? *v : prop_error(tag, MAPI_E_NOT_FOUND));
    }
    return out;
}

IMAPIProp::~IMAPIProp() = default;

HRESULT IMAPIProp::GetProps(const SPropTagArray& tags, ULONG /*flags*/,
                            std::vector<SPropValue>& values) {
    values.clear();
    SRow all;
    try {
        all = properties();
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    HRESULT hr = S_OK;
    for (ULONG tag : tags) {
        const SPropValue* v = find_prop(all, tag);
        if (v == nullptr)
            hr = MAPI_W_ERRORS_RETURNED;
        values.push_back(v != nullptr ? *v : prop_error(tag, MAPI_E_NOT_FOUND));
    }
    return hr;
}

HRESULT HrGetOneProp(IMAPIProp& object, ULONG tag, SPropValue& value) {
    std::vector<SPropValue> values;
    const HRESULT hr = object.GetProps({tag}, 0, values);
    if (FAILED(hr))
        return hr;
    if (values.empty() || PROP_TYPE(values.front().ulPropTag) == PT_ERROR) {
        return MAPI_E_NOT_FOUND;
    }
    value = std::move(values.front());
    return S_OK;
}

IStream::IStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

IStream::~IStream() = default;

HRESULT IStream::Read(std::span<uint8_t> buffer, ULONG* read) {
    const size_t n = std::min(buffer.size(), bytes_.size() - position_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), n, buffer.begin());
    position_ += n;
    if (read != nullptr)
        *read = static_cast<ULONG>(n);
    return S_OK;
}

}  // namespace quillet::ce
