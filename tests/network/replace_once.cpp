// Replaces the DHCP server's file once, with the text on standard input, checked by the program
// given: what the system-call test runs under strace, so that the trace holds nothing else.
// Usage: dhcp_file_replacer PATH CHECKER; exit status 0 when the file was written.
#include <iostream>
#include <iterator>
#include <string>

#include "network/dhcp_config_file.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::string text{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    return replaceDhcpConfig(argv[1], text, argv[2]) == DhcpFileWrite::Written ? 0 : 1;
}
