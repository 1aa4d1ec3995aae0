// The main window with 100,000 messages in the Inbox (and in Sent Items) and
// 2,000 contacts, loaded from real box and contacts files: showing a box
// (rows, names, sorted by date, the visible rows painted) and switching
// between two boxes. The goal is 300 ms for either.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "bench/gui/main_window_rig.h"
#include "bench/gui/qt_bench_main.h"
#include "desktop/app/main_frame.h"
#include "desktop/store/app_paths.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/sms_box.h"
#include "desktop/views/message_list_model.h"
#include "desktop/views/sms_list_view.h"

namespace quillet {
namespace {

constexpr int kMessages = 100'000;
constexpr int kContacts = 2'000;

std::string number_for(int i) {
    return "+49170" + std::to_string(1'000'000 + (i * 7919) % 4'000);
}

SmsBox make_box(BoxKind kind, int count) {
    SmsBox box(kind);
    for (int i = 0; i < count; ++i) {
        SmsMessage m;
        m.set_text(
            u"Message number " + std::u16string(1, char16_t(u'a' + i % 26)) +
            u" with a line of ordinary text that goes on a little while\r\nand a second line");
        m.set_number(number_for(i));
        // Times out of order, as a box that grew over years is.
        m.set_time(
            filetime_from_unix(1'600'000'000 + static_cast<int64_t>((i * 48271L) % 90'000'000)));
        m.set_read(static_cast<uint8_t>(i % 5 != 0));
        m.set_on_phone(static_cast<uint8_t>(i % 3 != 0));
        box.append(m);
    }
    box.set_sort_column(MessageListModel::kDate);
    box.set_sort_order(1);
    return box;
}

ContactList make_contacts() {
    ContactList contacts;
    for (int i = 0; i < kContacts; ++i) {
        contacts.append(make_contact("Contact " + std::to_string(i),
                                     "0170 " + std::to_string(1'000'000 + i * 2)));
    }
    contacts.sort_contacts();
    return contacts;
}

// The program's files in a temp data folder, and a main window started on
// them (with no phone plugged in).
struct BigWindow : bench::MainWindowRig {
    BigWindow() {
        make_box(BoxKind::Inbox, kMessages).save_box(kInboxFileName);
        make_box(BoxKind::SentItems, kMessages).save_box(kSentFileName);
        make_contacts().save_contacts(kContactsFileName);
        start();
    }

    // The list as a person sees it: its visible rows drawn.
    void paint_list() {
        frame->list_view().viewport()->repaint();
        QApplication::processEvents();
    }
};

BigWindow& window() {
    return bench::shared<BigWindow>();
}

void BM_ShowInbox(benchmark::State& state) {
    BigWindow& big = window();
    for (auto _ : state) {
        big.frame->show_box(BoxKind::Inbox);
        big.paint_list();
    }
    state.counters["rows"] = big.frame->list_view().list_model().rowCount();
}
BENCHMARK(BM_ShowInbox)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SwitchInboxAndSentItems(benchmark::State& state) {
    BigWindow& big = window();
    BoxKind kind = BoxKind::Inbox;
    for (auto _ : state) {
        kind = kind == BoxKind::Inbox ? BoxKind::SentItems : BoxKind::Inbox;
        big.frame->show_box(kind);
        big.paint_list();
    }
}
BENCHMARK(BM_SwitchInboxAndSentItems)->Unit(benchmark::kMillisecond)->Iterations(10);

// The model alone: one row per message, sorted by date.
void BM_FillAndSortByDate(benchmark::State& state) {
    SmsBox box = make_box(BoxKind::Inbox, kMessages);
    const ContactList contacts = make_contacts();
    MessageListModel model;
    model.set_contacts(&contacts);
    for (auto _ : state) {
        model.fill_from_box(&box);
        benchmark::DoNotOptimize(model.row_to_message().data());
    }
}
BENCHMARK(BM_FillAndSortByDate)->Unit(benchmark::kMillisecond)->Iterations(10);

// Sorting by the sender column looks up every row's name.
void BM_SortBySender(benchmark::State& state) {
    SmsBox box = make_box(BoxKind::Inbox, kMessages);
    const ContactList contacts = make_contacts();
    MessageListModel model;
    model.set_contacts(&contacts);
    box.set_sort_column(MessageListModel::kSender);
    for (auto _ : state) {
        model.fill_from_box(&box);
        benchmark::DoNotOptimize(model.row_to_message().data());
    }
}
BENCHMARK(BM_SortBySender)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
    return quillet::run_qt_benchmarks<QApplication>(argc, argv);
}
