// Memory for the windows beside the data, under a limit on the address space
// (ulimit -v) where running out is an answer rather than a kill.
//
// Qt's widgets are built without exceptions: where they run out of memory
// they crash or wait for ever (a view laying out its rows, the painter
// starting its helper threads). So the data gives way first. While a command
// runs, a reserve of address space is set aside (mapped, never touched, so
// it takes no memory): a command whose data would leave the window system
// less than that runs out itself, where it can say so, and when the command
// ends the reserve is the window system's again. And before a list hands
// its rows to a view, it asks whether the view's own records for them fit.
#pragma once

#include <cstddef>
#include <new>

namespace quillet {

class MemoryReserve {
  public:
    static constexpr size_t kBytes = size_t{64} << 20;

    // Sets the reserve aside while it lives; holds nest. When the address
    // space cannot spare it any more, the holder runs without it.
    class Held {
      public:
        Held();
        ~Held();
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;
    };

    // Gives the reserve back while it lives (a message box or a dialog is
    // open and must draw), and sets it aside again after.
    class Lifted {
      public:
        Lifted();
        ~Lifted();
        Lifted(const Lifted&) = delete;
        Lifted& operator=(const Lifted&) = delete;
    };
};

// Qt's painter hands large fills to the global thread pool and waits for
// them; a pool thread that cannot start (no address space left for its
// stack) leaves it waiting for ever. This starts the pool's threads now,
// while there is room, and keeps them; the main window calls it when it is
// made.
void keep_painter_threads();

// Bytes a list view (flat_list_view.h) allocates for each row: its row
// header's 8-byte section in a list that grows by half or doubles, with
// some to spare.
inline constexpr size_t kViewBytesPerRow = 24;

// Whether a view has room for the records of `rows` rows: the address space
// they need could be had just now (and is given back at once).
bool view_has_room(size_t rows);

// Makes a list's rows with `build(rows)`; true when they were made and the
// view has room for them. Otherwise `rows` ends empty, its memory given
// back, and the list shows nothing rather than crashing the view.
template <class Rows, class Build>
bool rows_that_fit(Rows& rows, Build build) {
    try {
        build(rows);
        if (view_has_room(rows.size()))
            return true;
    } catch (const std::bad_alloc&) {
    }
    Rows().swap(rows);
    return false;
}

}  // namespace quillet
