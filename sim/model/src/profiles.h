// Pressure profiles: the value (mbar) the sensor reports at a given time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ecsim {

class Profile {
public:
    enum Kind { Constant, Ramp, Sine, PumpDown, Leak, Outgassing, File };

    Profile() = default; // constant 1013.25 mbar
    static Profile constant(double mbar);
    static Profile ramp(double from, double to, double seconds);
    static Profile sine(double mean, double amplitude, double period);
    static Profile pumpDown(double seconds);
    // The pump-down, then the chamber shut off from its pump: a leak lets
    // the pressure rise at a constant rate (mbar/s) from the end point...
    static Profile leak(double pumpDownSeconds, double mbarPerSecond);
    // ...gas coming off the walls makes it rise ever slower, by `amplitude`
    // mbar in all: end + amplitude * (1 - exp(-t / tau)).
    static Profile outgassing(double pumpDownSeconds, double amplitude, double tauSeconds);
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
    // Defaults of the rises after it: a 10 l chamber with a leak of
    // 1e-3 mbar l/s; outgassing of about that size at first.
    static constexpr double DefaultPumpDownSeconds = 60.0;
    static constexpr double DefaultLeakRate = 1.0e-4;
    static constexpr double DefaultOutgassingAmplitude = 1.0e-2;
    static constexpr double DefaultOutgassingTau = 30.0;

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
