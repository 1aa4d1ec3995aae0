#include "desktop/formats/filtered_xml.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace quillet::import {
namespace {

constexpr size_t kReadPiece = 64 * 1024;

void remember_error(void* context, xmlError* error) {
    auto& first = *static_cast<ParseError*>(context);
    if (!first.text.empty() || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    std::string message = error->message ? error->message : "unreadable XML";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    // The parser's own advice ("use XML_PARSE_HUGE option") means nothing
    // to the user.
    if (message.starts_with("Excessive depth")) {
        message = "elements nested more than 256 deep, which a backup never holds";
        first.mapped = true;
    }
    first.line = error->line;
    first.text = "the file is damaged at line " + std::to_string(error->line) + ": " + message;
}

}  // namespace

int FilteredInput::read(void* context, char* buffer, int length) {
    auto& self = *static_cast<FilteredInput*>(context);
    return self.read_into(buffer, static_cast<size_t>(length));
}

int FilteredInput::read_into(char* buffer, size_t length) {
    while (out_at == out.size() && !at_end) {
        out.clear();
        out_at = 0;
        char piece[kReadPiece];
        const ssize_t n = ::read(fd, piece, sizeof piece);
        if (n < 0) {
            read_failed = true;
            return -1;
        }
        done += static_cast<uint64_t>(n);
        at_end = n == 0;
        if (!sink->progress(done, total)) {
            cancelled = true;
            return -1;
        }
        if (!filter->feed(std::string_view(piece, static_cast<size_t>(n)), at_end, out))
            return -1;
    }
    const size_t n = std::min(length, out.size() - out_at);
    std::memcpy(buffer, out.data() + out_at, n);
    out_at += n;
    return static_cast<int>(n);
}

std::unique_ptr<xmlTextReader, ReaderDeleter> open_filtered_reader(FilteredInput& input,
                                                                   ParseError& error) {
    std::unique_ptr<xmlTextReader, ReaderDeleter> reader(xmlReaderForIO(
        &FilteredInput::read, nullptr, &input, nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES));
    if (reader)
        xmlTextReaderSetStructuredErrorHandler(reader.get(), &remember_error, &error);
    return reader;
}

void drain(FilteredInput& input) {
    char piece[kReadPiece];
    std::string ignored;
    while (!input.at_end && input.filter->error().empty()) {
        const ssize_t n = ::read(input.fd, piece, sizeof piece);
        if (n < 0)
            return;
        input.done += static_cast<uint64_t>(n);
        input.at_end = n == 0;
        ignored.clear();
        input.filter->feed(std::string_view(piece, static_cast<size_t>(n)), input.at_end, ignored);
    }
}

}  // namespace quillet::import

namespace quillet::import {

FilteredXmlFile::FilteredXmlFile(const std::filesystem::path& path, ImportSink& sink,
                                 AttachmentSink& attachments, Outcome& outcome)
    : file_(open_regular_file(path, outcome)), spool_(attachments.spool_folder()), filter_(spool_) {
    if (!file_.valid())
        return;
    input_.fd = file_.get();
    std::error_code ec;
    input_.total = std::filesystem::file_size(path, ec);
    input_.sink = &sink;
    input_.filter = &filter_;
    reader_ = open_filtered_reader(input_, parse_error_);
    if (!reader_)
        outcome = Outcome::unreadable("the XML reader could not be started");
}

}  // namespace quillet::import
