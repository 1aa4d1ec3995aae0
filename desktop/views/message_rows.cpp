#include "desktop/views/message_rows.h"

#include "desktop/store/recipients.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/restore_command.h"
#include "desktop/views/sms_list_view.h"

namespace quillet {

const SmsMessage* MessageRows::message_shown() const {
    return row_shown() ? &state_.last_shown : nullptr;
}

std::optional<TextField> MessageRows::correspondent() {
    if (!row_shown())
        return std::nullopt;
    return state_.last_shown.number_field();
}

std::optional<Correspondence> MessageRows::conversation() {
    // Only what the view shows now: a message shown earlier is not it.
    if (!state_.view.showing_page() || !state_.last_shown.text().has_value())
        return std::nullopt;
    // The conversation is the one the window groups: every spelling the
    // network takes as its number.
    static const PhoneNumbers no_numbers;
    const PhoneNumbers& numbers =
        state_.contacts != nullptr ? state_.contacts->phone_numbers() : no_numbers;
    return correspondence_with(recipients_of(state_.last_shown.number()).front(),
                               state_.index.box_set(), numbers);
}

QString MessageRows::conversation_missing() const {
    return tr("Select a message of the conversation first.");
}

void MessageRows::offer_to_restore(RestoreOffer& offer) {
    offer.selection = chosen().refs;
}

ChosenMessages BoxRows::chosen() {
    return {list_.selected_refs(), std::nullopt};
}

void BoxRows::after_deletion(const ChosenMessages& chosen, size_t deleted, bool removed) {
    list_.after_deletion(chosen.refs, deleted, removed);
}

void BoxRows::mark_selected(bool read) {
    if (read)
        list_.mark_selected_read();
    else
        list_.mark_selected_unread();
}

void BoxRows::select_all() {
    list_.select_all();
}

bool BoxRows::row_shown() const {
    return list_.current_row() != -1;
}

}  // namespace quillet
