// Pressure profiles: the value (mbar) the sensor reports at a given time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ecsim {

class Profile {
public:
    enum Kind { Constant, Ramp, Sine, PumpDown, File };

    Profile() = default; // constant 1013.25 mbar
    static Profile constant(double mbar);
    static Profile ramp(double from, double to, double seconds);
    static Profile sine(double mean, double amplitude, double period);
    static Profile pumpDown(double seconds);
    // Steps through `values`, one per second, repeating.
    static Profile steps(std::vector<double> values);

    // `startNs` is the clock value when the profile was set.
    void start(uint64_t startNs) { startNs_ = startNs; }
    double valueAt(uint64_t nowNs) const;
    Kind kind() const { return kind_; }
    std::string describe() const;

    // Pump-down end point (mbar) reached after its duration.
    static constexpr double PumpDownStart = 1013.25;
    static constexpr double PumpDownEnd = 1.0e-3;

private:
    Kind kind_ = Constant;
    double a_ = 1013.25, b_ = 0, c_ = 1;
    std::vector<double> values_;
    uint64_t startNs_ = 0;
};

// Parses a profile command's arguments ("constant 1000", "ramp 1000 10 60", ...,
// "file PATH"); on failure returns false with the reason in *error.
bool parseProfile(const std::vector<std::string> &args, Profile &out, std::string *error);

// Strict number parsing: the whole word must be a finite number.
bool parseNumber(const std::string &word, double &out);

} // namespace ecsim
