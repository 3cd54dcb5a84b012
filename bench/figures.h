// The benchmark's figures: printed as they are measured, one column per
// timer mode measured (the client's floors, which no mode changes, in a
// column of their own), kept for the CSV file, and the goals with their
// verdicts. With one mode the table keeps a single column of values.
#pragma once
#include <string>
#include <vector>

#include "windows_timer.h"

namespace bench {

class Figures {
public:
    explicit Figures(std::vector<TimerMode> modes);

    [[nodiscard]] const std::vector<TimerMode>& modes() const { return modes_; }

    // The titles of the columns, below a section's title.
    void printColumns() const;

    // One figure per mode, in the order of modes().
    void record(const std::string& measure, const std::string& variant, const std::vector<double>& values,
                const std::string& unit);

    // A figure that is the same in every mode: the client's own time.
    void recordFloor(const std::string& measure, const std::string& variant, double value, const std::string& unit);

    // A goal, met in a mode where its figure is at most `limit`. Goals are
    // printed in the order of `rank`, then as they came.
    void goal(int rank, const std::string& text, const std::vector<double>& values, double limit,
              const std::string& unit);
    void goalNotMeasured(int rank, const std::string& text, const std::string& why);

    void printGoals() const;
    void writeCsv(const std::string& path) const;

private:
    struct Figure {
        std::string mode;
        std::string measure;
        std::string variant;
        double value;
        std::string unit;
    };
    struct Goal {
        int rank;
        std::string text;
        std::vector<std::string> verdicts;  // per mode
    };

    void printRow(const std::string& measure, const std::string& variant, const std::vector<std::string>& cells,
                  const std::string& unit) const;

    std::vector<TimerMode> modes_;
    std::vector<Figure> figures_;
    std::vector<Goal> goals_;
};

}  // namespace bench
