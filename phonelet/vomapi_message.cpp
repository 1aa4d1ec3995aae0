#include "phonelet/vomapi_message.h"

#include <array>
#include <cstdio>
#include <vector>

#include "platform/ce/ce_system.h"
#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {

VOMAPIMessage::VOMAPIMessage(ce::IMAPISession& session, const ce::SBinary& entry_id) {
    std::unique_ptr<ce::IMAPIProp> object;
    ce::ULONG type = 0;
    const ce::HRESULT hr =
        session.OpenEntry(entry_id, nullptr, ce::MAPI_BEST_ACCESS, &type, object);
    if (ce::FAILED(hr)) {
        trace(hr);
        return;
    }
    message_ = ce::query_interface<ce::IMessage>(object);
    if (!message_)
        trace(ce::MAPI_E_INTERFACE_NOT_SUPPORTED);
}

VOMAPIMessage::~VOMAPIMessage() = default;

std::u16string VOMAPIMessage::body() {
    if (!message_)
        return {};
    std::unique_ptr<ce::IStream> stream;
    const ce::HRESULT hr =
        message_->OpenProperty(ce::PR_BODY, &ce::IID_IStream, ce::STGM_READ, 0, stream);
    if (ce::FAILED(hr)) {
        trace(hr);
        return {};
    }
    // Only the first kMaxBodyUnits units are kept: reading stops once they
    // are in, however long the body is.
    constexpr size_t kKeptBytes = 2 * kMaxBodyUnits;
    std::vector<uint8_t> bytes;
    std::array<uint8_t, kBodyChunkBytes> chunk{};
    for (;;) {
        ce::ULONG read = 0;
        if (ce::FAILED(stream->Read(chunk, &read)))
            break;
        const size_t take = std::min<size_t>(read, kKeptBytes - bytes.size());
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(take));
        if (read < kBodyChunkBytes || bytes.size() >= kKeptBytes)
            break;
    }
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(get_u16le(bytes, i));
        if (unit == u'\0')
            break;
        text += unit;
    }
    return text;
}

std::optional<std::string> VOMAPIMessage::recipients() {
    if (!message_)
        return std::nullopt;
    std::unique_ptr<ce::IMAPITable> table;
    ce::HRESULT hr = message_->GetRecipientTable(ce::MAPI_UNICODE, table);
    if (ce::FAILED(hr)) {
        trace(hr);
        return std::nullopt;
    }
    hr = table->SetColumns({ce::PR_ENTRYID, ce::PR_DISPLAY_TO, ce::PR_EMAIL_ADDRESS}, 0);
    if (ce::SUCCEEDED(hr))
        hr = table->SeekRow(ce::BOOKMARK_BEGINNING, 0, nullptr);
    // A field holds a few numbers at most: no more rows are read.
    constexpr ce::LONG kMostRows = kTextFieldSize / 2;
    ce::SRowSet rows;
    if (ce::SUCCEEDED(hr))
        hr = table->QueryRows(kMostRows, 0, rows);
    if (ce::FAILED(hr)) {
        trace(hr);
        return std::nullopt;
    }
    if (rows.empty())
        return std::nullopt;
    std::string joined;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::u16string& email = rows[i][2].lpszW;
        const std::string address = to_ansi_field(email == u"SMS" ? rows[i][1].lpszW : email);
        if (i > 0 && joined.size() + 1 + address.size() > kTextFieldSize - 1)
            break;
        joined += (i > 0 ? ";" : "") + address;
    }
    return joined;
}

void VOMAPIMessage::trace(ce::HRESULT hr, std::source_location where) {
    std::array<char, 96> line{};
    std::snprintf(line.data(), line.size(), "CEMAPI: FAILED(%x) at %s:%d\n",
                  static_cast<unsigned>(hr), "VOMAPIMessage", static_cast<int>(where.line()));
    ce::OutputDebugStringW(from_ansi(line.data()));
}

}  // namespace quillet
