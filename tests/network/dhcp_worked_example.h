// The file written for camera interface 192.168.1.1/24, 16 clients, 48 hours, pool .100 to
// .200 and DNS 8.8.8.8 and 8.8.4.4, byte for byte.
#pragma once

inline constexpr const char* kWorkedExampleText =
    "class \"limited-1\" {\n"
    "  lease limit 16;\n"
    "}\n"
    "INTERFACESv4=\"eth1\";\n"
    "default-lease-time 172800;\n"
    "max-lease-time 172800;\n"
    "subnet 192.168.1.0 netmask 255.255.255.0 {\n"
    "  range 192.168.1.100 192.168.1.200;\n"
    "  option subnet-mask 255.255.255.0;\n"
    "  option domain-name-servers 8.8.8.8, 8.8.4.4;\n"
    "}\n";
