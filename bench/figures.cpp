#include "figures.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <utility>

namespace bench {

namespace {

// The CSV's mode for a figure that no timer mode changes.
const char anyMode[] = "any";

std::string formatValue(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string formatVerdict(double value, double limit, const std::string& unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s: %s", value, unit.c_str(), value <= limit ? "met" : "not met");
    return text;
}

}  // namespace

Figures::Figures(std::vector<TimerMode> modes) : modes_(std::move(modes)) {}

void Figures::printRow(const std::string& measure, const std::string& variant, const std::vector<std::string>& cells,
                       const std::string& unit) const
{
    // One mode keeps the table as it has always been printed.
    std::printf(modes_.size() == 1 ? "  %-28s %-34s" : "  %-28s %-36s", measure.c_str(), variant.c_str());
    for (const std::string& cell : cells) {
        std::printf(" %14s", cell.c_str());
    }
    std::printf(unit.empty() ? "\n" : " %s\n", unit.c_str());
    std::fflush(stdout);
}

void Figures::printColumns() const
{
    if (modes_.size() == 1) {
        return;
    }
    std::vector<std::string> titles = {"floor"};
    for (TimerMode mode : modes_) {
        titles.emplace_back(timerModeName(mode));
    }
    printRow("", "", titles, "");
}

void Figures::record(const std::string& measure, const std::string& variant, const std::vector<double>& values,
                     const std::string& unit)
{
    std::vector<std::string> cells;
    if (modes_.size() > 1) {
        cells.emplace_back();  // the floor's column
    }
    for (size_t m = 0; m < modes_.size(); ++m) {
        figures_.push_back({timerModeName(modes_[m]), measure, variant, values[m], unit});
        cells.push_back(formatValue(values[m]));
    }
    printRow(measure, variant, cells, unit);
}

void Figures::recordFloor(const std::string& measure, const std::string& variant, double value,
                          const std::string& unit)
{
    figures_.push_back({anyMode, measure, variant, value, unit});
    std::vector<std::string> cells = {formatValue(value)};
    if (modes_.size() > 1) {
        cells.resize(1 + modes_.size());
    }
    printRow(measure, variant, cells, unit);
}

void Figures::goal(int rank, const std::string& text, const std::vector<double>& values, double limit,
                   const std::string& unit)
{
    Goal goal{rank, text, {}};
    for (size_t m = 0; m < modes_.size(); ++m) {
        goal.verdicts.push_back(formatVerdict(values[m], limit, unit));
    }
    goals_.push_back(goal);
}

void Figures::goalNotMeasured(int rank, const std::string& text, const std::string& why)
{
    goals_.push_back({rank, text, std::vector<std::string>(modes_.size(), why)});
}

void Figures::printGoals() const
{
    std::vector<Goal> sorted = goals_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Goal& a, const Goal& b) { return a.rank < b.rank; });
    std::printf("\nGoals: each figure beside its limit, met or not\n");
    std::printf("  %-68s", "goal");
    for (TimerMode mode : modes_) {
        std::printf(" %-24s", timerModeName(mode));
    }
    std::printf("\n");
    for (const Goal& goal : sorted) {
        std::printf("  %-68s", goal.text.c_str());
        for (const std::string& verdict : goal.verdicts) {
            std::printf(" %-24s", verdict.c_str());
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

void Figures::writeCsv(const std::string& path) const
{
    std::ofstream csv(path);
    csv << "mode,measure,variant,value,unit\n";
    for (const Figure& f : figures_) {
        csv << '"' << f.mode << "\",\"" << f.measure << "\",\"" << f.variant << "\"," << f.value << ',' << f.unit
            << '\n';
    }
    std::printf("\nfigures written to %s\n", path.c_str());
}

}  // namespace bench
