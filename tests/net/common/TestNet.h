#pragma once
// Helpers for tests that run inside a private network built by tests/net/qvnet:
// a guard that refuses to run anywhere else, a reader of the simulator's
// log (one line per event, "KIND key=value key=value ...") and a runner of
// shell commands that keeps what they wrote.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <net/if.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

// Aborts the program unless it runs as the computer of a qvnet network: the
// run id must be set and no interface but lo and qvN may be visible, so a
// test can never send through a real interface.
inline void RequireTestNetwork() {
    const char* id = std::getenv("QVNET_ID");
    if (!id || !*id) {
        std::fprintf(stderr, "FATAL: QVNET_ID is not set. This test sends datagrams and must run "
                             "inside the private test network: tests/net/qvnet run NETFILE -- "
                             "<test>\n");
        std::abort();
    }
    struct if_nameindex* names = if_nameindex();
    if (!names) {
        std::fprintf(stderr, "FATAL: cannot list the network interfaces\n");
        std::abort();
    }
    for (struct if_nameindex* p = names; p->if_index != 0 && p->if_name; ++p) {
        const std::string name = p->if_name;
        bool ours = name == "lo";
        if (!ours && name.size() > 2 && name.compare(0, 2, "qv") == 0) {
            ours = name.find_first_not_of("0123456789", 2) == std::string::npos;
        }
        if (!ours) {
            std::fprintf(stderr,
                         "FATAL: interface '%s' is visible; this test runs only inside a "
                         "qvnet namespace (lo and qv* only)\n",
                         name.c_str());
            if_freenameindex(names);
            std::abort();
        }
    }
    if_freenameindex(names);
}

// One line of the simulator's log. Kinds: READY, RX, TX, IPCHANGE, IGNORED,
// ERR, FATAL, EXIT. Fields, e.g. for RX: t dev mac from to len data.
struct TDevsimLine {
    std::string kind;
    std::map<std::string, std::string> fields;
    std::string raw;

    std::string Get(const std::string& key) const {
        const auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    }
};

inline TDevsimLine ParseDevsimLine(const std::string& line) {
    TDevsimLine out;
    out.raw = line;
    std::size_t i = line.find(' ');
    out.kind = line.substr(0, i);
    while (i != std::string::npos && i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const std::size_t eq = line.find('=', i);
        if (eq == std::string::npos)
            break;
        const std::string key = line.substr(i, eq - i);
        std::string value;
        std::size_t j = eq + 1;
        if (j < line.size() && line[j] == '"') {
            const std::size_t close = line.find('"', j + 1);
            value =
                line.substr(j + 1, close == std::string::npos ? std::string::npos : close - j - 1);
            j = close == std::string::npos ? line.size() : close + 1;
        } else {
            const std::size_t sp = line.find(' ', j);
            value = line.substr(j, sp == std::string::npos ? std::string::npos : sp - j);
            j = sp == std::string::npos ? line.size() : sp;
        }
        out.fields[key] = value;
        i = j;
    }
    return out;
}

// Reads $QVNET_DIR/devsim.log (or a given file) while the simulator writes it.
class TDevsimLog {
public:
    TDevsimLog() {
        const char* dir = std::getenv("QVNET_DIR");
        path_ = std::string(dir ? dir : ".") + "/devsim.log";
    }
    explicit TDevsimLog(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // Complete lines only: a line still being written is left for later.
    std::vector<TDevsimLine> ReadAll() const {
        std::vector<TDevsimLine> out;
        std::ifstream f(path_, std::ios::binary);
        std::string line;
        while (std::getline(f, line)) {
            if (f.eof())
                break; // no line end yet
            out.push_back(ParseDevsimLine(line));
        }
        return out;
    }

    // The number of lines so far: pass it to WaitFor to look only at newer ones.
    std::size_t Mark() const { return ReadAll().size(); }

    // The first line from index `from` on that matches, polling until the
    // time-out has passed.
    std::optional<TDevsimLine> WaitFor(const std::function<bool(const TDevsimLine&)>& match,
                                       std::chrono::milliseconds timeout,
                                       std::size_t from = 0) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (true) {
            const auto lines = ReadAll();
            for (std::size_t k = from; k < lines.size(); ++k)
                if (match(lines[k]))
                    return lines[k];
            if (std::chrono::steady_clock::now() >= end)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // All lines from index `from` on that match.
    std::vector<TDevsimLine> Select(const std::function<bool(const TDevsimLine&)>& match,
                                    std::size_t from = 0) const {
        std::vector<TDevsimLine> out;
        const auto lines = ReadAll();
        for (std::size_t k = from; k < lines.size(); ++k)
            if (match(lines[k]))
                out.push_back(lines[k]);
        return out;
    }

private:
    std::string path_;
};

// What a command run through the shell left: its exit status (-1 when it did
// not exit) and what it wrote on standard output and error.
struct TShellRun {
    int status = -1;
    std::string out, err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs `command` through the shell with its output captured in files under
// `dir`; `redirect` replaces the capture of standard output (">/dev/full").
inline TShellRun RunShell(const std::string& command, const std::filesystem::path& dir,
                          const std::string& redirect = "") {
    const std::filesystem::path out = dir / "out", err = dir / "err";
    std::filesystem::remove(out);
    const std::string line =
        command + " " + (redirect.empty() ? ">" + out.string() : redirect) + " 2>" + err.string();
    const int status = std::system(line.c_str());
    TShellRun r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadWholeFile(out);
    r.err = ReadWholeFile(err);
    return r;
}
