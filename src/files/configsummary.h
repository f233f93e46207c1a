#pragma once
// A configuration in words: every setting of the image as a lighting engineer reads it, grouped by
// function block, with the two step tables as tables. The command line prints it; the window and the
// report can show the same texts.
//
// Values use the program's text forms ("Analog 1-10V", "Random", "OFF (Winter Time)", 22:00:00, 00,060
// s/%…). Each section, item and column also carries a fixed key in lowerCamelCase for scripts.

#include "model/image.h"

#include <string>
#include <vector>

namespace lumeq {

struct SummaryItem {
    std::string key;   // "minimumLevel"
    std::string label; // "Minimum level"
    std::string value; // "0 %"
};

struct SummaryColumn {
    std::string key;   // "time"
    std::string label; // "Time"
};

// A step table: only the steps in use, one row per step, one text per column.
struct SummaryTable {
    std::vector<SummaryColumn> columns;
    std::vector<std::vector<std::string>> rows;
};

struct SummarySection {
    std::string key;   // "output"
    std::string title; // "Output"
    std::vector<SummaryItem> items;
    bool hasTable = false;
    SummaryTable table;
};

// Describes bytes 0..95 of the image; missing bytes of a short image read as 0xFF. The sections come in
// the order of the block diagram's signal path: output, power-on, blocking time, control input with
// dimming engine 2, astro clock with dimming engine 1, remote control, MFF, thermal management, relay.
std::vector<SummarySection> describeConfiguration(const Image& image);

} // namespace lumeq
