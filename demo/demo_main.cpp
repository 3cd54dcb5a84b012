// The demo: the substitute trading client with zelvo.dll loaded into its
// process, driven through the eight exports from a thread other than the
// client's user-interface thread, as a real caller inside the client is.
//
//   zelvo-demo [--broker NAME] [--credit] [--shape plain|realistic|busy] [--script FILE | --interactive]
//              [--screenshot FILE.png]
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "client_data.h"
#include "editions.h"
#include "screenshot.h"
#include "session.h"
#include "shape.h"
#include "terminal.h"

namespace {

struct Options {
    substitute::Broker broker = substitute::Broker::Huatai;
    bool credit = false;
    substitute::Shape shape = substitute::Shape::Plain;
    std::string script;
    bool interactive = false;
    std::string screenshot;
};

const struct {
    const char* name;
    substitute::Broker broker;
} brokerNames[] = {{"zhaoshang", substitute::Broker::Zhaoshang}, {"guotai", substitute::Broker::Guotai},
                   {"guoxin", substitute::Broker::Guoxin},       {"huatai", substitute::Broker::Huatai},
                   {"zhongxin", substitute::Broker::Zhongxin},   {"zhongjin", substitute::Broker::Zhongjin},
                   {"qilu", substitute::Broker::Qilu}};

void usage()
{
    std::puts("usage: zelvo-demo [--broker zhaoshang|guotai|guoxin|huatai|zhongxin|zhongjin|qilu] [--credit]\n"
              "                  [--shape plain|realistic|busy] [--script FILE | --interactive] [--screenshot FILE.png]");
}

bool parseBroker(const char* name, substitute::Broker& broker)
{
    for (const auto& entry : brokerNames) {
        if (std::strcmp(entry.name, name) == 0) {
            broker = entry.broker;
            return true;
        }
    }
    return false;
}

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--broker" && hasValue && parseBroker(argv[i + 1], options.broker)) {
            ++i;
        } else if (option == "--credit") {
            options.credit = true;
        } else if (option == "--shape" && hasValue && substitute::shapeNamed(argv[i + 1])) {
            options.shape = *substitute::shapeNamed(argv[++i]);
        } else if (option == "--script" && hasValue) {
            options.script = argv[++i];
        } else if (option == "--interactive") {
            options.interactive = true;
        } else if (option == "--screenshot" && hasValue) {
            options.screenshot = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

int runCommands(const Options& options)
{
    if (options.interactive) {
        demo::say("Type commands (help lists them, quit ends).");
        return demo::runSession(std::cin, true);
    }
    if (!options.script.empty()) {
        std::ifstream file(options.script);
        if (!file) {
            std::printf("cannot read %s\n", options.script.c_str());
            return 1;
        }
        return demo::runSession(file, false);
    }
    std::istringstream session(demo::defaultScript);
    return demo::runSession(session, false);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return 2;
    }
    substitute::setProcessShape(options.shape);
    substitute::Client client(demo::demoClientSetup(options.broker, options.credit));
    demo::fillDemoData(client);
    demo::say("Substitute client: " + client.setup().title + (options.credit ? " (credit account)" : "") +
              (options.shape != substitute::Shape::Plain ? std::string(", shape ") + substitute::shapeName(options.shape)
                                                         : std::string()));
    const int failures = runCommands(options);
    if (!options.screenshot.empty()) {
        const bool saved = demo::saveWindowPicture(client.mainWindow(), options.screenshot);
        std::printf("\nscreenshot %s: %s\n", options.screenshot.c_str(), saved ? "saved" : "FAILED");
    }
    std::printf("\n%d command(s) could not be run\n", failures);
    return failures == 0 ? 0 : 1;
}
