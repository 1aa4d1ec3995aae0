// The lists of the right pane whose rows are messages: a box's
// (BoxRows, over the SmsListView) and the results across the boxes
// (result_list.h). The message such a list put in the view last is what
// Reply, Forward, a print and a PDF take; Restore offers its selection.
#pragma once

#include <QCoreApplication>

#include "desktop/views/pane_state.h"
#include "desktop/views/shown_list.h"

namespace quillet {

class SmsListView;

class MessageRows : public ShownList {
    Q_DECLARE_TR_FUNCTIONS(MessageRows)

  public:
    explicit MessageRows(PaneState& state) : state_(state) {}

    const SmsMessage* message_shown() const override;
    std::optional<TextField> correspondent() override;
    // Every message exchanged with the shown message's sender, in every box
    // and every spelling of the number; only while the view shows it.
    std::optional<Correspondence> conversation() override;
    QString conversation_missing() const override;
    void offer_to_restore(RestoreOffer& offer) override;

  protected:
    // Whether a row of this list is in the message view.
    virtual bool row_shown() const = 0;

    PaneState& state_;
};

class BoxRows : public MessageRows {
  public:
    BoxRows(PaneState& state, SmsListView& list) : MessageRows(state), list_(list) {}

    ChosenMessages chosen() override;
    void after_deletion(const ChosenMessages& chosen, size_t deleted, bool removed) override;
    void mark_selected(bool read) override;
    void select_all() override;

  protected:
    bool row_shown() const override;

  private:
    SmsListView& list_;
};

}  // namespace quillet
