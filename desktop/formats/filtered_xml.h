// A libxml2 text reader over a file seen through XmlInputFilter: the
// hardened way every XML backup is read. No network, no DTD, no entity
// substitution: the parser sees only what is in the file, and the filter
// refuses entity declarations before it does.
#pragma once

#include <libxml/xmlreader.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "desktop/formats/import_source.h"
#include "desktop/formats/xml_input_filter.h"
#include "desktop/store/unique_fd.h"

namespace quillet::import {

// The file as the parser reads it: through the filter, reporting progress.
struct FilteredInput {
    int fd = -1;
    uint64_t done = 0;
    uint64_t total = 0;
    ImportSink* sink = nullptr;
    XmlInputFilter* filter = nullptr;
    std::string out;
    size_t out_at = 0;
    bool at_end = false;
    bool cancelled = false;
    bool read_failed = false;

    static int read(void* context, char* buffer, int length);
    int read_into(char* buffer, size_t length);
};

struct ReaderDeleter {
    void operator()(xmlTextReader* r) const { xmlFreeTextReader(r); }
};

// The parser's first error, in the user's words where its own mean nothing
// to them.
struct ParseError {
    std::string text;
    int line = 0;
    bool mapped = false;  // said in our words: no other reading of it
};

// A reader over `input` that records its first error in `error`; nullptr
// when libxml2 cannot start one.
std::unique_ptr<xmlTextReader, ReaderDeleter> open_filtered_reader(FilteredInput& input,
                                                                   ParseError& error);

// A backup file opened for the hardened reading: the regular file, the spool
// for long values, the filter and the parser's reader over them. When any of
// them cannot be had, reader() is null and `outcome` says why. Holds
// pointers into itself, so it stays where it was made.
class FilteredXmlFile {
  public:
    FilteredXmlFile(const std::filesystem::path& path, ImportSink& sink,
                    AttachmentSink& attachments, Outcome& outcome);
    FilteredXmlFile(const FilteredXmlFile&) = delete;
    FilteredXmlFile& operator=(const FilteredXmlFile&) = delete;

    xmlTextReader* reader() const { return reader_.get(); }
    FilteredInput& input() { return input_; }
    const XmlInputFilter& filter() const { return filter_; }
    PartSpool& spool() { return spool_; }
    const ParseError& parse_error() const { return parse_error_; }

  private:
    UniqueFd file_;
    PartSpool spool_;
    XmlInputFilter filter_;
    FilteredInput input_;
    ParseError parse_error_;
    std::unique_ptr<xmlTextReader, ReaderDeleter> reader_;
};

// Feeds the rest of the file through the filter after the parser stopped,
// so that the messages beyond the damage are counted.
void drain(FilteredInput& input);

}  // namespace quillet::import
