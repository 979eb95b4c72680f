// soem-declaration-checks PREPROCESSED HEADER_DIR OUT
//
// Reads the preprocessor's output (-E -dD, as C) of a file that includes our
// <soem/soem.h>, keeps what comes from the headers in HEADER_DIR, and writes
// OUT: a C++ file of static_asserts that holds every declaration found there
// against whichever <soem/soem.h> it is compiled with. Compiled against an
// installed SOEM 2.x, it fails on anything our header declares that SOEM does
// not declare with the same name, type and value.
//
// The headers are read as declarations of a plain kind: macros without
// parameters, typedefs, structs (with anonymous unions and structs inside),
// enums with explicit values, functions. Anything else stops the generator
// with the line it could not take, so that nothing goes unchecked.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Tokens = std::vector<std::string>;

struct Unhandled {
    std::string what;
};

[[noreturn]] void unhandled(const std::string &what)
{
    throw Unhandled{what};
}

bool isIdentifier(const std::string &t)
{
    return !t.empty() && (std::isalpha(static_cast<unsigned char>(t[0])) || t[0] == '_');
}

Tokens tokenize(const std::string &text)
{
    Tokens out;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (std::isalnum(c) || c == '_') {
            size_t j = i;
            while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
                ++j;
            out.push_back(text.substr(i, j - i));
            i = j;
        } else if (c == '"' || c == '\'') {
            unhandled("a literal in " + text);
        } else {
            out.push_back(std::string(1, char(c)));
            ++i;
        }
    }
    return out;
}

std::string join(const Tokens &t, size_t from = 0, size_t to = std::string::npos)
{
    std::string s;
    for (size_t i = from; i < t.size() && i < to; ++i) {
        if (!s.empty())
            s += ' ';
        s += t[i];
    }
    return s;
}

// Splits at `sep` outside braces, brackets and parentheses.
std::vector<Tokens> split(const Tokens &t, const std::string &sep)
{
    std::vector<Tokens> out(1);
    int depth = 0;
    for (const std::string &x : t) {
        if (x == "{" || x == "(" || x == "[")
            ++depth;
        if (x == "}" || x == ")" || x == "]")
            --depth;
        if (depth == 0 && x == sep) {
            out.emplace_back();
            continue;
        }
        out.back().push_back(x);
    }
    if (out.back().empty())
        out.pop_back();
    return out;
}

// The index of the brace that closes the one at `open`.
size_t closing(const Tokens &t, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (t[i] == "{")
            ++depth;
        else if (t[i] == "}" && --depth == 0)
            return i;
    }
    unhandled("an unclosed brace in " + join(t));
}

size_t find(const Tokens &t, const std::string &x)
{
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i] == x)
            return i;
    return std::string::npos;
}

class Checks {
public:
    std::ostringstream out;

    void same(const std::string &a, const std::string &b, const std::string &what)
    {
        out << "static_assert(std::is_same<" << a << ", " << b << ">::value, \"" << what << "\");\n";
    }

    void macro(const std::string &line)
    {
        Tokens t = tokenize(line.substr(line.find("define") + 6));
        if (t.empty() || !isIdentifier(t[0]))
            unhandled(line);
        const std::string name = t[0];
        const size_t nameEnd = line.find(name, line.find("define")) + name.size();
        if (nameEnd < line.size() && line[nameEnd] == '(')
            unhandled("a macro with parameters: " + line);
        const Tokens value(t.begin() + 1, t.end());
        // An include guard is ours alone.
        if (value.empty() && name.size() > 2 && name.compare(name.size() - 2, 2, "_H") == 0)
            return;
        out << "#ifndef " << name << "\n#error \"" << name << " is not a macro of SOEM 2.x\"\n#endif\n";
        if (value.empty())
            return;
        if (value[0] == "struct" || value[0] == "union" || value[0] == "enum")
            same(name, join(value), "macro " + name);
        else
            out << "static_assert((" << name << ") == (" << join(value) << "), \"macro " << name << "\");\n";
    }

    void declaration(const Tokens &d)
    {
        if (d.empty())
            return;
        if (d[0] == "typedef")
            typedefOf(Tokens(d.begin() + 1, d.end()));
        else if ((d[0] == "struct" || d[0] == "union") && d.size() > 2 && isIdentifier(d[1]) && d[2] == "{"
                 && closing(d, 2) == d.size() - 1)
            record(d[1], d[0] + " " + d[1], Tokens(d.begin() + 3, d.end() - 1));
        else if (find(d, "(") != std::string::npos)
            function(d);
        else
            unhandled(join(d));
    }

private:
    void typedefOf(const Tokens &t)
    {
        const size_t open = find(t, "{");
        if (open == std::string::npos) {
            // typedef <type> name;
            if (t.size() < 2 || !isIdentifier(t.back()))
                unhandled("typedef " + join(t));
            same(t.back(), join(t, 0, t.size() - 1), "typedef " + t.back());
            return;
        }
        const size_t close = closing(t, open);
        if (close + 2 != t.size() || !isIdentifier(t.back()))
            unhandled("typedef " + join(t));
        const std::string name = t.back();
        const Tokens body(t.begin() + long(open) + 1, t.begin() + long(close));
        const bool tagged = open == 2 && isIdentifier(t[1]);
        if (t[0] == "enum") {
            enumeration(name, body);
            return;
        }
        if ((t[0] != "struct" && t[0] != "union") || (open != 1 && !tagged))
            unhandled("typedef " + join(t));
        if (tagged)
            same(t[0] + " " + t[1], name, "typedef " + name + " of " + t[0] + " " + t[1]);
        record(name, name, body);
    }

    void record(const std::string &scope, const std::string &type, const Tokens &body)
    {
        out << "static_assert(std::is_class<" << type << ">::value || std::is_union<" << type << ">::value, \""
            << type << "\");\n";
        fields(scope, body);
    }

    void fields(const std::string &scope, const Tokens &body)
    {
        for (const Tokens &f : split(body, ";")) {
            const size_t open = find(f, "{");
            if (open != std::string::npos) {
                // An anonymous union or struct: its members are the scope's.
                if (open != 1 || (f[0] != "union" && f[0] != "struct") || closing(f, open) != f.size() - 1)
                    unhandled(scope + ": " + join(f));
                fields(scope, Tokens(f.begin() + 2, f.end() - 1));
                continue;
            }
            if (split(f, ",").size() != 1 || find(f, "(") != std::string::npos)
                unhandled(scope + ": " + join(f));
            const size_t bracket = find(f, "[");
            const size_t at = bracket == std::string::npos ? f.size() - 1 : bracket - 1;
            if (at == 0 || at >= f.size() || !isIdentifier(f[at]))
                unhandled(scope + ": " + join(f));
            Tokens type = f;
            type.erase(type.begin() + long(at));
            same("decltype(" + scope + "::" + f[at] + ")", join(type), scope + "::" + f[at]);
        }
    }

    void enumeration(const std::string &name, const Tokens &body)
    {
        for (const Tokens &e : split(body, ",")) {
            if (e.size() < 3 || !isIdentifier(e[0]) || e[1] != "=")
                unhandled(name + ": an enumerator without its value: " + join(e));
            same("decltype(" + e[0] + ")", name, "enumerator " + e[0] + " of " + name);
            out << "static_assert(" << e[0] << " == (" << join(e, 2) << "), \"enumerator " << e[0] << "\");\n";
        }
    }

    void function(const Tokens &d)
    {
        const size_t open = find(d, "(");
        if (open < 2 || !isIdentifier(d[open - 1]) || d.back() != ")" || find(Tokens(d.begin() + long(open) + 1, d.end()), "(") != std::string::npos)
            unhandled(join(d));
        const std::string name = d[open - 1];
        same("decltype(&" + name + ")", join(d, 0, open - 1) + " (*)(" + join(d, open + 1, d.size() - 1) + ")",
             "function " + name);
    }
};

// The preprocessed lines that come from a header under `dir`: code, and
// the #define lines.
bool fromDir(const std::string &marker, const std::string &dir)
{
    const size_t q = marker.find('"');
    if (q == std::string::npos)
        return false;
    const std::string file = marker.substr(q + 1, marker.find('"', q + 1) - q - 1);
    return file.compare(0, dir.size(), dir) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: soem-declaration-checks PREPROCESSED HEADER_DIR OUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "soem-declaration-checks: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::string dir = argv[2];
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    Checks checks;
    int found = 0;
    try {
        bool ours = false;
        std::string code;
        std::string line;
        while (std::getline(in, line)) {
            const size_t first = line.find_first_not_of(" \t");
            if (first != std::string::npos && line[first] == '#') {
                const Tokens t = tokenize(line.substr(first + 1, line.find('"') == std::string::npos
                                                                     ? std::string::npos
                                                                     : line.find('"') - first - 1));
                if (!t.empty() && std::isdigit(static_cast<unsigned char>(t[0][0])))
                    ours = fromDir(line, dir);
                else if (ours && !t.empty() && t[0] == "define") {
                    checks.macro(line);
                    ++found;
                } else if (ours)
                    unhandled(line);
                continue;
            }
            if (ours)
                code += line + "\n";
        }
        for (const Tokens &d : split(tokenize(code), ";")) {
            checks.declaration(d);
            ++found;
        }
    } catch (const Unhandled &u) {
        std::cerr << "soem-declaration-checks: cannot check this declaration of " << dir << ": " << u.what << "\n";
        return 1;
    }
    if (found == 0) {
        std::cerr << "soem-declaration-checks: no declaration of " << dir << " in " << argv[1] << "\n";
        return 1;
    }
    std::ofstream out(argv[3]);
    out << "// Generated by soem-declaration-checks from the headers in " << dir
        << ":\n// every declaration there, held against the <soem/soem.h> this file is compiled with.\n"
        << "#include <soem/soem.h>\n\n#include <type_traits>\n\n"
        << checks.out.str();
    out.close();
    if (!out) {
        std::cerr << "soem-declaration-checks: cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
