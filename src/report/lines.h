// The evidence of ISRC and catalog lines, for input without raw lines: the
// codes at the running positions qscan printed, where each track began by
// them, and the stretches without a line.
#pragma once

#include "report/codes.h"
#include "subchannel/subchannel.h"

namespace report {

class line_evidence {
  public:
    void add(bool catalog, const timing &position, const std::string &code);
    int current_track() const { return isrcs.track(); }

    code_collector isrcs;
    catalog_counts catalogs;

    // The tracks the lines name, and those missing between them.
    std::vector<laid_track> layout() const;
    // What the lines show was read of a laid track: the frames between two
    // of its lines close enough that no stretch between was lost, the
    // longest run of them without an ISRC line, the widest gap between two.
    void fill(const laid_track &t, track_evidence &e) const;

  private:
    struct track_lines {
        std::map<int64_t, uint32_t> starts; // lba - rel of lines from index 01 on
        std::optional<int64_t> pause;       // the first line in its pause
        std::optional<int64_t> first, last; // its first and last ISRC line
        std::optional<int64_t> last_line;   // its last line of either kind
        uint64_t covered = 0;               // frames between lines close together
        int64_t run = 0, longest_run = 0;   // covered frames in a row without an ISRC line
        int64_t widest = 0;                 // the widest gap between two of its ISRC lines
    };
    std::map<int, track_lines> tracks_;
};

} // namespace report
