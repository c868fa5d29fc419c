#pragma once
// The host's text command line. Each line is one of:
//   (NAME arg ...)   calls the AutoLISP function NAME of the current drawing (arguments are
//                    ignored) and prints its result: an integer in decimal, a string quoted,
//                    nil as "nil"; an undefined name prints
//                    "; error: no function definition: NAME" with NAME in upper case
//   NAME [ARGUMENT]  runs a command (see Host::runCommand); everything after the name, with
//                    surrounding white space and double quotes removed, is its one argument
//   blank            ignored
#include <iosfwd>
#include <string>

namespace cadhost {

class Host;

class ConsoleSession {
public:
    explicit ConsoleSession(Host& host) : host_(host) {}

    // Executes one line. Returns false once the session should end (QUIT).
    bool execute(const std::string& line);
    // Executes lines until the end of input or QUIT.
    void run(std::istream& input);

private:
    void callLisp(const std::string& expression);
    Host& host_;
};

// AutoLISP's printed form of a string: quoted, with backslash, quote and control characters
// escaped.
std::string lispQuoted(const std::string& text);

}  // namespace cadhost
