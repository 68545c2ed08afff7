// Dotted IPv4 address and mask texts: splitting, validation and classful derivations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Utils {

std::vector<std::string> split(const std::string& line);
std::vector<std::string> split_string(const std::string& text, const std::string& delimiter);
bool isNumber(const std::string& text);

bool validateIpAddress(std::string address);
// The whole text as a dotted address, in host order; false, bits untouched, when it is none.
bool parseAddress(const std::string& text, uint32_t& bits);
// A dotted address whose one bits run unbroken from the top, at least one of them.
bool validateSubnetMask(std::string mask);
bool validateDhcpNetwork(std::string start, std::string end);
// Throws std::invalid_argument when the last octet of either text holds no number or one
// too large for an int.
bool validateIpRange(std::string start, std::string end);

std::string omitLastSegment(std::string address);
std::string trimOctets(std::string address, int keep);
uint32_t IPToUInt(std::string address);
// Throws std::invalid_argument when the first octet holds no number or one too large for an int.
std::string calculateDhcpSubnet(std::string address);
std::string calculateDhcpNetmask(std::vector<int>& octets);
std::string calculatePrefix(std::string mask);

// Both return true when the text was rejected; the vector keeps every number read.
bool getOctetsIP(std::string address, std::vector<int>& octets);
bool getOctetsMask(std::string mask, std::vector<int>& octets);

}  // namespace Utils
