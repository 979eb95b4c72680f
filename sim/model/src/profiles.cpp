#include "profiles.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "regular_descriptor.h"

namespace ecsim {

namespace {
constexpr double Pi = 3.14159265358979323846;
double seconds(uint64_t fromNs, uint64_t toNs)
{
    return toNs > fromNs ? double(toNs - fromNs) / 1e9 : 0.0;
}

// A profile of one value per second for a fortnight is some 10 MB.
constexpr size_t kMaxProfileFileBytes = 16u << 20;

#ifdef _WIN32
int readSome(int fd, char *buf, unsigned size) { return ::_read(fd, buf, size); }
void closeFile(int fd) { ::_close(fd); }
#else
ssize_t readSome(int fd, char *buf, size_t size) { return ::read(fd, buf, size); }
void closeFile(int fd) { ::close(fd); }
#endif

// What the profile file at `path` holds. Only a regular file reached
// without a symbolic link is read, so that a FIFO or a device neither stops
// the simulator's loop nor streams into it without end.
bool readProfileFile(const std::string &path, std::string &text, std::string &why)
{
    const records::RegularDescriptor opened = records::openRegularDescriptor(path.c_str(), O_RDONLY);
    switch (opened.refusal) {
    case records::FileRefusal::SymbolicLink:
        why = "is a symbolic link; name the file it points to";
        return false;
    case records::FileRefusal::NotRegular:
        why = "is " + opened.what + ", not a profile file";
        return false;
    case records::FileRefusal::System:
        why = opened.what;
        return false;
    case records::FileRefusal::None:
        break;
    }
    char buf[64 * 1024];
    for (auto n = readSome(opened.fd, buf, sizeof buf); n != 0; n = readSome(opened.fd, buf, sizeof buf)) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = std::strerror(errno);
            break;
        }
        if (text.size() + size_t(n) > kMaxProfileFileBytes) {
            why = "larger than " + std::to_string(kMaxProfileFileBytes >> 20) + " MiB";
            break;
        }
        text.append(buf, size_t(n));
    }
    closeFile(opened.fd);
    return why.empty();
}

// Logarithmic descent from atmosphere to the end point, then holding there.
double pumpDownAt(double t, double secs)
{
    const double f = std::min(t / secs, 1.0);
    const double decades = std::log10(Profile::PumpDownStart / Profile::PumpDownEnd);
    return Profile::PumpDownStart * std::pow(10.0, -decades * f);
}
} // namespace

Profile Profile::constant(double mbar)
{
    Profile p;
    p.kind_ = Constant;
    p.a_ = mbar;
    return p;
}

Profile Profile::ramp(double from, double to, double secs)
{
    Profile p;
    p.kind_ = Ramp;
    p.a_ = from;
    p.b_ = to;
    p.c_ = secs;
    return p;
}

Profile Profile::sine(double mean, double amplitude, double period)
{
    Profile p;
    p.kind_ = Sine;
    p.a_ = mean;
    p.b_ = amplitude;
    p.c_ = period;
    return p;
}

Profile Profile::pumpDown(double secs)
{
    Profile p;
    p.kind_ = PumpDown;
    p.c_ = secs;
    return p;
}

Profile Profile::leak(double pumpDownSeconds, double mbarPerSecond)
{
    Profile p;
    p.kind_ = Leak;
    p.b_ = mbarPerSecond;
    p.c_ = pumpDownSeconds;
    return p;
}

Profile Profile::outgassing(double pumpDownSeconds, double amplitude, double tauSeconds)
{
    Profile p;
    p.kind_ = Outgassing;
    p.a_ = amplitude;
    p.b_ = tauSeconds;
    p.c_ = pumpDownSeconds;
    return p;
}

Profile Profile::steps(std::vector<double> values)
{
    Profile p;
    p.kind_ = File;
    p.values_ = std::move(values);
    return p;
}

double Profile::valueAt(uint64_t nowNs) const
{
    const double t = seconds(startNs_, nowNs);
    switch (kind_) {
    case Constant:
        return a_;
    case Ramp:
        return t >= c_ ? b_ : a_ + (b_ - a_) * (t / c_);
    case Sine:
        return a_ + b_ * std::sin(2 * Pi * t / c_);
    case PumpDown:
        return pumpDownAt(t, c_);
    case Leak:
        return t < c_ ? pumpDownAt(t, c_) : PumpDownEnd + b_ * (t - c_);
    case Outgassing:
        return t < c_ ? pumpDownAt(t, c_) : PumpDownEnd + a_ * (1.0 - std::exp(-(t - c_) / b_));
    case File:
        if (values_.empty())
            return 0;
        return values_[static_cast<size_t>(t) % values_.size()];
    }
    return 0;
}

std::string Profile::describe() const
{
    std::ostringstream s;
    switch (kind_) {
    case Constant: s << "constant " << a_; break;
    case Ramp: s << "ramp " << a_ << ' ' << b_ << ' ' << c_; break;
    case Sine: s << "sine " << a_ << ' ' << b_ << ' ' << c_; break;
    case PumpDown: s << "pumpdown " << c_; break;
    case Leak: s << "leak " << c_ << ' ' << b_; break;
    case Outgassing: s << "outgassing " << c_ << ' ' << a_ << ' ' << b_; break;
    case File: s << "file (" << values_.size() << " values)"; break;
    }
    return s.str();
}

bool parseNumber(const std::string &word, double &out)
{
    if (word.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (end != word.c_str() + word.size() || errno == ERANGE || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool parseProfile(const std::vector<std::string> &args, Profile &out, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    if (args.empty())
        return fail("profile needs a kind: constant, ramp, sine, pumpdown, leak, outgassing or file");
    const std::string &kind = args[0];
    std::vector<double> n;
    auto numbers = [&](size_t min, size_t max, const char *usage) {
        if (args.size() - 1 < min || args.size() - 1 > max)
            return fail(std::string("usage: profile ") + usage);
        for (size_t i = 1; i < args.size(); ++i) {
            double v;
            if (!parseNumber(args[i], v))
                return fail("'" + args[i] + "' is not a number (usage: profile " + usage + ")");
            n.push_back(v);
        }
        return true;
    };
    if (kind == "constant") {
        if (!numbers(1, 1, "constant MBAR"))
            return false;
        out = Profile::constant(n[0]);
    } else if (kind == "ramp") {
        if (!numbers(3, 3, "ramp FROM TO SECONDS"))
            return false;
        if (n[2] <= 0)
            return fail("ramp SECONDS must be greater than 0");
        out = Profile::ramp(n[0], n[1], n[2]);
    } else if (kind == "sine") {
        if (!numbers(3, 3, "sine MEAN AMPLITUDE PERIOD"))
            return false;
        if (n[2] <= 0)
            return fail("sine PERIOD must be greater than 0");
        out = Profile::sine(n[0], n[1], n[2]);
    } else if (kind == "pumpdown") {
        if (!numbers(0, 1, "pumpdown [SECONDS]"))
            return false;
        const double secs = n.empty() ? 60.0 : n[0];
        if (secs <= 0)
            return fail("pumpdown SECONDS must be greater than 0");
        out = Profile::pumpDown(secs);
    } else if (kind == "leak") {
        if (!numbers(0, 2, "leak [SECONDS [MBAR_PER_SECOND]]"))
            return false;
        const double secs = n.size() > 0 ? n[0] : Profile::DefaultPumpDownSeconds;
        const double rate = n.size() > 1 ? n[1] : Profile::DefaultLeakRate;
        if (secs <= 0 || rate <= 0)
            return fail("leak SECONDS and MBAR_PER_SECOND must be greater than 0");
        out = Profile::leak(secs, rate);
    } else if (kind == "outgassing") {
        if (!numbers(0, 3, "outgassing [SECONDS [AMPLITUDE [TAU]]]"))
            return false;
        const double secs = n.size() > 0 ? n[0] : Profile::DefaultPumpDownSeconds;
        const double amplitude = n.size() > 1 ? n[1] : Profile::DefaultOutgassingAmplitude;
        const double tau = n.size() > 2 ? n[2] : Profile::DefaultOutgassingTau;
        if (secs <= 0 || amplitude <= 0 || tau <= 0)
            return fail("outgassing SECONDS, AMPLITUDE and TAU must be greater than 0");
        out = Profile::outgassing(secs, amplitude, tau);
    } else if (kind == "file") {
        if (args.size() != 2)
            return fail("usage: profile file PATH");
        std::string text;
        std::string why;
        if (!readProfileFile(args[1], text, why))
            return fail("cannot open " + args[1] + ": " + why);
        std::istringstream in(text);
        std::vector<double> values;
        std::string line;
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            const auto b = line.find_first_not_of(" \t\r");
            if (b == std::string::npos)
                continue; // blank line
            const auto e = line.find_last_not_of(" \t\r");
            const std::string word = line.substr(b, e - b + 1);
            if (word[0] == '#')
                continue;
            double v;
            // The file may be anything its reader may read: an error never
            // quotes what it holds.
            if (!parseNumber(word, v))
                return fail(args[1] + " line " + std::to_string(lineNo) +
                            " is not a number (a profile file holds one mbar value per line)");
            values.push_back(v);
        }
        if (values.empty())
            return fail(args[1] + " holds no values");
        out = Profile::steps(std::move(values));
    } else {
        return fail("unknown profile '" + kind + "': use constant, ramp, sine, pumpdown, leak, outgassing or file");
    }
    return true;
}

} // namespace ecsim
