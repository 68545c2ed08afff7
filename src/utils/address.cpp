#include "utils/address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace Utils {

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream stream(line);
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

std::vector<std::string> split_string(const std::string& text, const std::string& delimiter)
{
    std::vector<std::string> pieces;
    if (delimiter.empty())
        return {text};
    std::string::size_type position = 0;
    std::string::size_type found;
    // A longer delimiter is skipped whole, so none of it leaks into the next piece.
    while ((found = text.find(delimiter, position)) != std::string::npos) {
        pieces.push_back(text.substr(position, found - position));
        position = found + delimiter.size();
    }
    pieces.push_back(text.substr(position));
    return pieces;
}

bool isNumber(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("[0123456789]") == std::string::npos;
}

// A NUL inside would end the text for inet_pton while the octet readers read on past it, so
// such a text is no address.
bool parseAddress(const std::string& text, uint32_t& bits)
{
    in_addr parsed{};
    if (text.find('\0') != std::string::npos || inet_pton(AF_INET, text.c_str(), &parsed) != 1)
        return false;
    bits = ntohl(parsed.s_addr);
    return true;
}

bool validateIpAddress(std::string address)
{
    uint32_t bits = 0;
    return parseAddress(address, bits);
}

bool validateSubnetMask(std::string mask)
{
    uint32_t bits = 0;
    if (!parseAddress(mask, bits))
        return false;
    // The host bits must be one run of ones from the bottom: adding 1 then leaves no bit in common.
    const uint32_t hostBits = ~bits;
    return bits != 0 && (hostBits & (hostBits + 1)) == 0;
}

static std::string beforeLastDot(const std::string& address)
{
    return address.substr(0, address.rfind('.'));
}

bool validateDhcpNetwork(std::string start, std::string end)
{
    // Both network parts are compared whole, so 192.168.1.x and 192.168.10.x differ.
    const bool same = beforeLastDot(start) == beforeLastDot(end);
    if (!same)
        std::cout << "ip range not same network" << std::endl;
    return same;
}

static std::string afterLastDot(const std::string& address)
{
    const auto dot = address.rfind('.');
    return dot == std::string::npos ? address : address.substr(dot + 1);
}

// The number a text begins with, as std::stoi reads it. A number too large for an int throws
// std::invalid_argument as well, the one exception callers are told to expect.
static int leadingNumber(const std::string& text)
{
    try {
        return std::stoi(text);
    } catch (const std::out_of_range&) {
        throw std::invalid_argument("number out of range");
    }
}

bool validateIpRange(std::string start, std::string end)
{
    std::cout << "valid ip range test: " << afterLastDot(start) << std::endl;
    const int first = leadingNumber(afterLastDot(start));
    const int last = leadingNumber(afterLastDot(end));
    if (first < last)
        return true;
    std::cout << "ip start greater than end" << std::endl;
    return false;
}

std::string omitLastSegment(std::string address)
{
    std::cout << "Splitting: " << address << std::endl;
    return beforeLastDot(address);
}

std::string trimOctets(std::string address, int keep)
{
    std::string::size_type start = 0;
    int octet = 0;
    auto dot = address.find('.', start);
    while (dot != std::string::npos) {
        if (octet > keep) {
            address.replace(start, dot - start, "0");
            dot = start + 1;
        }
        if (octet > 1) {
            // The fourth octet and anything after it always become a single 0.
            address.replace(dot + 1, std::string::npos, "0");
            break;
        }
        start = dot + 1;
        ++octet;
        dot = address.find('.', start);
    }
    return address;
}

uint32_t IPToUInt(std::string address)
{
    int a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(address.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d) != 4)
        return 0;
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(b) << 16) |
           (static_cast<uint32_t>(c) << 8) | static_cast<uint32_t>(d);
}

std::string calculateDhcpSubnet(std::string address)
{
    const int first = leadingNumber(address.substr(0, address.find('.')));
    if (first >= 0 && first <= 127)
        return trimOctets(address, 0);
    if (first >= 128 && first <= 191)
        return trimOctets(address, 1);
    if (first >= 192 && first <= 238)
        return trimOctets(address, 2);
    return "";
}

std::string calculateDhcpNetmask(std::vector<int>& octets)
{
    if (octets.empty())
        return "";
    const int first = octets.front();
    if (first >= 1 && first <= 127)
        return "255.0.0.0";
    if (first >= 128 && first <= 191)
        return "255.255.0.0";
    if (first >= 192 && first <= 223)
        return "255.255.255.0";
    return "";
}

std::string calculatePrefix(std::string mask)
{
    uint32_t bits = 0;
    if (!parseAddress(mask, bits))
        return "";
    int ones = 0;
    while (ones < 32 && (bits & (0x80000000u >> ones)))
        ++ones;
    return std::to_string(ones);
}

// Reads the numbers between the dots as line reading with '.' as the line end does.
static void readOctets(const std::string& text, std::vector<int>& octets)
{
    octets.clear();
    std::istringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, '.'))
        octets.push_back(std::atoi(piece.c_str()));
}

static bool rejectUnlessFourOctets(const std::vector<int>& octets)
{
    if (octets.size() == 4)
        return false;
    std::cout << "\nPlease enter four octets in dot notation.\n" << std::endl;
    return true;
}

bool getOctetsIP(std::string address, std::vector<int>& octets)
{
    readOctets(address, octets);
    if (rejectUnlessFourOctets(octets))
        return true;
    const bool outOfRange = std::any_of(octets.begin(), octets.end(),
                                        [](int octet) { return octet < 0 || octet > 255; });
    if (outOfRange) {
        std::cout << "\nThere are only 255 bits per octet. Please re-enter IP.\n" << std::endl;
        return true;
    }
    return false;
}

bool getOctetsMask(std::string mask, std::vector<int>& octets)
{
    readOctets(mask, octets);
    if (rejectUnlessFourOctets(octets))
        return true;
    static const int maskOctets[] = {0, 128, 192, 224, 240, 248, 252, 254, 255};
    for (int octet : octets) {
        if (std::find(std::begin(maskOctets), std::end(maskOctets), octet) == std::end(maskOctets)) {
            std::cout << "\nSubnet masks only use 2^[0-7]. Please re-enter mask.\n" << std::endl;
            return true;
        }
    }
    return false;
}

}  // namespace Utils
