#include "utils/subnet.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <sstream>

namespace Utils {

int calcClass(const std::vector<int>& octets)
{
    if (octets.empty())
        return 0;
    const int first = octets[0];
    // The second octet is read only for 172 and 192, and only when there is one.
    const bool hasSecond = octets.size() > 1;
    if (first == 10)
        return 1;
    if (first == 172 && hasSecond && octets[1] >= 16 && octets[1] <= 31)
        return 2;
    if (first == 192 && hasSecond && octets[1] == 168)
        return 3;
    if (first == 127)
        return 4;
    if (first >= 0 && first <= 126)
        return 5;
    if (first >= 128 && first <= 191)
        return 6;
    if (first >= 192 && first <= 223)
        return 7;
    if (first >= 224 && first <= 239)
        return 8;
    if (first >= 240 && first <= 255)
        return 9;
    return 0;
}

// Appends the eight low bits of every octet and traces them as 0/1 digits, octets joined by ".".
static void appendBits(const std::vector<int>& octets, std::vector<int>& bits, const char* label)
{
    constexpr int kBitsPerOctet = 8;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            std::cout << '.';
        const unsigned octet = static_cast<unsigned>(octets[i]);
        for (int bit = kBitsPerOctet - 1; bit >= 0; --bit) {
            const int value = static_cast<int>((octet >> bit) & 1u);
            bits.push_back(value);
            std::cout << value;
        }
    }
    std::cout << "  : " << label << std::endl;
}

int getNHBits(const std::vector<int>& address, const std::vector<int>& mask, std::vector<int>& addressBits,
              std::vector<int>& maskBits)
{
    appendBits(address, addressBits, "IP Address");
    appendBits(mask, maskBits, "Subnet Mask");
    std::cout << "-----------------------------------------" << std::endl;
    return 0;
}

std::vector<int> getNetID(const std::vector<int>& address, const std::vector<int>& mask)
{
    std::vector<int> netID;
    netID.reserve(address.size());
    for (std::size_t i = 0; i < address.size(); ++i)
        netID.push_back(i < mask.size() ? (address[i] & mask[i]) : 0);
    return netID;
}

std::string toString(std::vector<int> octets)
{
    std::string text;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}

std::vector<int> toDecimal(std::vector<int> octets, std::vector<int>& scratch)
{
    scratch.clear();
    std::stringstream stream;
    stream << toString(octets);
    std::string piece;
    while (std::getline(stream, piece, '.'))
        scratch.push_back(std::atoi(piece.c_str()));
    return scratch;
}

int getIncrement(std::vector<int> mask, std::vector<int> /*unused*/)
{
    bool sawFull = false;
    for (int octet : mask) {
        switch (octet) {
        case 255: sawFull = true; break;
        case 254: return 2;
        case 252: return 4;
        case 248: return 8;
        case 240: return 16;
        case 224: return 32;
        case 192: return 64;
        case 128: return 128;
        default: break;  // 0 and values that are no mask octet are passed over
        }
    }
    return sawFull ? 1 : 0;
}

std::vector<int> getNetIDRange(const std::vector<int>& netID, const int& increment, const std::vector<int>& mask)
{
    std::vector<int> last;
    last.reserve(netID.size());
    for (std::size_t i = 0; i < netID.size(); ++i) {
        const int maskOctet = i < mask.size() ? mask[i] : 0;
        if (maskOctet == 255) {
            last.push_back(netID[i]);
        } else if (maskOctet >= 1 && maskOctet <= 254) {
            // Widened, so odd octets or increments cannot overflow; the result is kept within int.
            const long long sum = static_cast<long long>(netID[i]) + increment - 1;
            last.push_back(static_cast<int>(sum > INT_MAX ? INT_MAX : (sum < INT_MIN ? INT_MIN : sum)));
        } else {
            last.push_back(255);
        }
    }
    return last;
}

// One bits of a mask octet (0 for a value that is no mask octet).
static int onesOfMaskOctet(int octet)
{
    switch (octet) {
    case 255: return 8;
    case 254: return 7;
    case 252: return 6;
    case 248: return 5;
    case 240: return 4;
    case 224: return 3;
    case 192: return 2;
    case 128: return 1;
    default: return 0;
    }
}

// 2 to the power of bits, or INT_MAX when that does not fit an int.
static int powerOfTwoCapped(int bits, int minus)
{
    constexpr int kIntBits = 31;
    if (bits >= kIntBits + 1)
        return INT_MAX;
    const long long value = (1LL << bits) - minus;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int getSubnets(const std::vector<int>& mask, const int& classCode, std::vector<int>& referenceMask)
{
    constexpr std::size_t kOctets = 4;
    referenceMask.clear();
    switch (classCode) {
    case 1: referenceMask = {255, 0, 0, 0}; break;
    case 2: referenceMask = {255, 255, 0, 0}; break;
    case 3: referenceMask = {255, 255, 255, 0}; break;
    case 4:
    case 5:
        referenceMask.assign(mask.begin(), mask.begin() + static_cast<long>(std::min(mask.size(), kOctets)));
        break;
    default: break;  // unknown class code: nothing to compare with
    }
    int bits = 0;
    for (std::size_t i = 0; i < mask.size() && i < referenceMask.size(); ++i) {
        if (mask[i] != referenceMask[i])
            bits += onesOfMaskOctet(mask[i]);
    }
    return powerOfTwoCapped(bits, 0);
}

int getHostsPerSubnet(const std::vector<int>& mask)
{
    int zeros = 0;
    for (int octet : mask) {
        const int ones = onesOfMaskOctet(octet);
        if (ones == 0 && octet != 0) {
            zeros = 0;  // no mask octet: the mask counts as having no host bits
            break;
        }
        // Past 32 bits the answer is capped anyway; stop adding so the count stays small.
        if (zeros <= 32)
            zeros += 8 - ones;
    }
    return powerOfTwoCapped(zeros, 2);
}

}  // namespace Utils
