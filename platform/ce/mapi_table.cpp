// IMAPITable and the property helpers of the emulated message store.
#include <algorithm>
#include <numeric>

#include "platform/ce/mapi.h"
#include "platform/ce/mapi_table.h"
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

RowSource::~RowSource() = default;

MemoryRows::MemoryRows(Loader loader) : loader_(std::move(loader)) {}

MemoryRows::~MemoryRows() = default;

void MemoryRows::load() {
    if (loaded_)
        return;
    rows_ = loader_();
    loaded_ = true;
    apply_order();
}

HRESULT MemoryRows::sort(const SSortOrderSet& order) {
    order_ = order;
    next_ = 0;
    if (loaded_)
        apply_order();  // otherwise sorted when loaded
    return S_OK;
}

void MemoryRows::apply_order() {
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
    std::stable_sort(view_.begin(), view_.end(), before);
}

void MemoryRows::rewind() {
    load();
    next_ = 0;
}

bool MemoryRows::next(SRow& row) {
    load();
    if (next_ >= view_.size())
        return false;
    row = rows_[view_[next_++]];
    return true;
}

ULONG MemoryRows::count() {
    load();
    return static_cast<ULONG>(rows_.size());
}

IMAPITable::IMAPITable(std::unique_ptr<RowSource> source) : source_(std::move(source)) {}

IMAPITable::~IMAPITable() = default;

HRESULT IMAPITable::SetColumns(const SPropTagArray& columns, ULONG /*flags*/) {
    if (columns.empty())
        return MAPI_E_INVALID_PARAMETER;
    columns_ = columns;
    return S_OK;
}

HRESULT IMAPITable::SortTable(const SSortOrderSet& order, ULONG /*flags*/) {
    try {
        if (const HRESULT hr = source_->sort(order); FAILED(hr))
            return hr;
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    position_ = 0;
    rewound_ = false;
    return S_OK;
}

void IMAPITable::move_to(int64_t target) {
    target = std::max<int64_t>(target, 0);
    if (!rewound_ || target < position_) {
        source_->rewind();
        rewound_ = true;
        position_ = 0;
    }
    while (position_ < target && source_->next(scratch_))
        ++position_;
}

HRESULT IMAPITable::SeekRow(LONG origin, LONG row_count, LONG* rows_sought) {
    if (origin != BOOKMARK_BEGINNING && origin != BOOKMARK_CURRENT && origin != BOOKMARK_END)
        return MAPI_E_INVALID_PARAMETER;
    try {
        int64_t start = 0;
        if (origin == BOOKMARK_CURRENT)
            start = position_;
        if (origin == BOOKMARK_END)
            start = source_->count();
        move_to(start + row_count);
        if (rows_sought != nullptr)
            *rows_sought = static_cast<LONG>(position_ - start);
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    return S_OK;
}

HRESULT IMAPITable::QueryRows(LONG row_count, ULONG /*flags*/, SRowSet& rows) {
    if (row_count < 0) {
        rows.clear();
        return MAPI_E_INVALID_PARAMETER;
    }
    size_t n = 0;
    try {
        if (!rewound_)
            move_to(position_);
        for (; n < static_cast<size_t>(row_count) && source_->next(scratch_); ++n) {
            if (rows.size() <= n)
                rows.emplace_back();
            project(scratch_, rows[n]);
            ++position_;
        }
    } catch (const phone::PhoneDbError&) {
        rows.clear();
        return MAPI_E_CALL_FAILED;
    }
    rows.resize(n);
    return S_OK;
}

HRESULT IMAPITable::GetRowCount(ULONG /*flags*/, ULONG* count) {
    try {
        if (count != nullptr)
            *count = source_->count();
    } catch (const phone::PhoneDbError&) {
        return MAPI_E_CALL_FAILED;
    }
    return S_OK;
}

void IMAPITable::project(const SRow& row, SRow& out) const {
    if (columns_.empty()) {
        out = row;
        return;
    }
    out.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
        // Assigned in place, so the row's storage is reused.
        if (const SPropValue* v = find_prop(row, columns_[i])) {
            out[i] = *v;
        } else {
            out[i] = prop_error(columns_[i], MAPI_E_NOT_FOUND);
        }
    }
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
