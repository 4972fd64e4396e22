// fennaro-recover: the whole recovery without a window, for scripts.
#include <cstdio>
#include <string>

#include "commands.h"

namespace fennaro::cli {

int printUsage() {
    std::fputs("usage:\n"
               "  fennaro-recover carve contacts CONTACTS_DB SMS_DB\n"
               "  fennaro-recover carve sms CONTACTS_DB SMS_DB\n"
               "  fennaro-recover list [--deep] contacts CONTACTS_DB SMS_DB\n"
               "  fennaro-recover list [--deep] messages CONTACTS_DB SMS_DB\n"
               "  fennaro-recover acquire\n"
               "  fennaro-recover export [--deep] CONTACTS_DB SMS_DB OUT_FOLDER\n"
               "  fennaro-recover scan DB\n"
               "  fennaro-recover deep contacts CONTACTS_DB SMS_DB\n"
               "  fennaro-recover deep sms CONTACTS_DB SMS_DB\n",
               stderr);
    return kUsageStatus;
}

} // namespace fennaro::cli

int main(int argc, char** argv) {
    using namespace fennaro::cli;
    if (argc < 2)
        return printUsage();
    std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    if (command == "carve")
        return runCarveCommand(args);
    if (command == "list")
        return runListCommand(args);
    if (command == "acquire")
        return runAcquireCommand(args);
    if (command == "export")
        return runExportCommand(args);
    if (command == "scan")
        return runScanCommand(args);
    if (command == "deep")
        return runDeepCommand(args);
    return printUsage();
}
