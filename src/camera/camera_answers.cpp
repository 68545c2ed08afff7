#include "camera/camera_answers.h"

#include "camera/key_value.h"

DeviceInfo readDeviceInfo(const corvexPacket& answer)
{
    DeviceInfo info;
    info.accepted = isAuthorized(answer.code);
    if (info.accepted)
        info.firmware = lastValueOf(answer.body, "FirmwareVersion");
    return info;
}

AddressSettings readAddressSettings(const std::string& interfaceBody, const std::string& dnsBody)
{
    AddressSettings settings;
    settings.netmask = lastValueOf(interfaceBody, "IPv4SubnetMask");
    settings.gateway = lastValueOf(interfaceBody, "IPv4Gateway");
    settings.dns = lastValueOf(dnsBody, "PrimaryDNS");
    return settings;
}

bool passwordChangeAccepted(const corvexPacket& answer)
{
    return answer.code == 200 && answer.body == "OK";
}
