"""IPv4 settings as the camera accepts them: dotted addresses, and a static
address, prefix and gateway that make a usable interface together."""
import ipaddress

from .query import is_decimal

MIN_PREFIX, MAX_PREFIX = 8, 30  # wider or narrower networks leave no room for a camera


def is_dotted(text):
    """Four decimal numbers 0..255; a leading zero is refused (octal to some readers)."""
    parts = text.split(".")
    return len(parts) == 4 and all(
        is_decimal(p) and len(p) <= 3 and int(p) <= 255 and (p == "0" or p[0] != "0")
        for p in parts)


def _usable_host(address):
    return not (address.is_multicast or address.is_loopback or address.is_reserved
                or address.packed[0] == 0)


def static_refusal(address, prefix_text, gateway):
    """Why the camera refuses this static setting ("InvalidAddress", ...), or None."""
    if not is_dotted(address):
        return "InvalidAddress"
    if not is_decimal(prefix_text) or not MIN_PREFIX <= int(prefix_text) <= MAX_PREFIX:
        return "InvalidPrefixLength"
    if not is_dotted(gateway):
        return "InvalidGateway"
    interface = ipaddress.IPv4Interface(f"{address}/{int(prefix_text)}")
    network, host = interface.network, interface.ip
    ends = (network.network_address, network.broadcast_address)
    if host in ends or not _usable_host(host):
        return "InvalidAddress"
    router = ipaddress.IPv4Address(gateway)
    if router not in network or router in ends or router == host:
        return "InvalidGateway"
    return None
