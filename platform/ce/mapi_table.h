// Tables of the emulated message store: a cursor over rows that come from a
// row source, with set columns, sort, seek and query-rows.
#pragma once

#include <functional>
#include <memory>

#include "platform/ce/mapi_types.h"

namespace quillet::ce {

// Where a table's rows come from. Every call may throw phone::PhoneDbError.
class RowSource {
  public:
    virtual ~RowSource();
    // MAPI_E_TOO_COMPLEX for an order the source cannot give.
    virtual HRESULT sort(const SSortOrderSet& order) = 0;
    // Back to before the first row.
    virtual void rewind() = 0;
    // Fills `row` with every property of the next row (reusing its
    // storage); false at the end.
    virtual bool next(SRow& row) = 0;
    virtual ULONG count() = 0;
};

// Rows held in memory, from a loader called at the first read: a snapshot
// from then on. Sorts on any keys, stably.
class MemoryRows : public RowSource {
  public:
    using Loader = std::function<SRowSet()>;
    explicit MemoryRows(Loader loader);
    ~MemoryRows() override;
    HRESULT sort(const SSortOrderSet& order) override;
    void rewind() override;
    bool next(SRow& row) override;
    ULONG count() override;

  private:
    void load();
    void apply_order();

    Loader loader_;
    bool loaded_ = false;
    SRowSet rows_;              // as loaded
    std::vector<size_t> view_;  // rows_ in sort order
    SSortOrderSet order_;
    size_t next_ = 0;
};

class IMAPITable {
  public:
    explicit IMAPITable(std::unique_ptr<RowSource> source);
    virtual ~IMAPITable();

    // The properties each row shows, in order; a property a row lacks shows
    // as PT_ERROR / MAPI_E_NOT_FOUND.
    HRESULT SetColumns(const SPropTagArray& columns, ULONG flags);
    // Sorts on the keys; the cursor goes to the beginning.
    HRESULT SortTable(const SSortOrderSet& order, ULONG flags);
    HRESULT SeekRow(LONG origin, LONG row_count, LONG* rows_sought);
    // Up to row_count rows from the cursor on; none at the end (S_OK).
    // `rows` is replaced; rows passed in again are overwritten in place, so
    // a walk one row at a time reuses their storage.
    HRESULT QueryRows(LONG row_count, ULONG flags, SRowSet& rows);
    HRESULT GetRowCount(ULONG flags, ULONG* count);

  private:
    // Moves the cursor to `target` (clamped to the rows there are).
    void move_to(int64_t target);
    void project(const SRow& row, SRow& out) const;

    std::unique_ptr<RowSource> source_;
    SPropTagArray columns_;
    SRow scratch_;
    int64_t position_ = 0;
    bool rewound_ = false;
};

}  // namespace quillet::ce
