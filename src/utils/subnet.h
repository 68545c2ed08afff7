// Classful IPv4 arithmetic on octet vectors (first octet first, normally four, as getOctetsIP
// and getOctetsMask read them). No state; the tracing functions write to standard output.
// Every function reads only the elements a vector has, so short vectors or octets outside
// 0..255 give odd numbers, never a crash or an overflow.
#pragma once

#include <string>
#include <vector>

namespace Utils {

// 1 private A (10), 2 private B (172.16-31), 3 private C (192.168), 4 loopback (127),
// 5 A (0-126), 6 B (128-191), 7 C (192-223), 8 D (224-239), 9 E (240-255), 0 none.
int calcClass(const std::vector<int>& octets);

// Appends eight bits per octet, most significant first, to each bit vector and traces both
// patterns and a rule of dashes. Always 0.
int getNHBits(const std::vector<int>& address, const std::vector<int>& mask, std::vector<int>& addressBits,
              std::vector<int>& maskBits);

// Address AND mask, one element per address element; a missing mask octet counts as 0.
std::vector<int> getNetID(const std::vector<int>& address, const std::vector<int>& mask);

// The elements joined by "." (empty vector, empty text).
std::string toString(std::vector<int> octets);

// The numbers read back from their dotted text: a copy of the input, also left in scratch.
std::vector<int> toDecimal(std::vector<int> octets, std::vector<int>& scratch);

// The mask's block size: 2..128 for the first octet below 255 that is a mask value; else 1
// when a 255 was seen and 0 when not. The second vector is not looked at.
int getIncrement(std::vector<int> mask, std::vector<int> unused);

// The last address of the block starting at the network ID: kept where the mask octet is 255,
// plus increment minus 1 where it is 1..254, 255 elsewhere (also where the mask is too short).
std::vector<int> getNetIDRange(const std::vector<int>& netID, const int& increment, const std::vector<int>& mask);

// Class code 1..5 (A..E). Fills referenceMask with the class's default mask (D and E: the mask
// itself) and returns 2 to the power of the one bits of the mask octets that differ from it.
// An unknown class code leaves referenceMask empty and compares nothing: 1. At most INT_MAX.
int getSubnets(const std::vector<int>& mask, const int& classCode, std::vector<int>& referenceMask);

// 2 to the power of the mask's zero bits, minus 2; an octet that is no mask value counts as
// none at all (-1). More than 31 zero bits (mask 0.0.0.0) give INT_MAX, the most an int holds.
int getHostsPerSubnet(const std::vector<int>& mask);

}  // namespace Utils
