"""The discovery responder.

The camera hears the recorder's broadcast on UDP port 7701 and answers with one
334-byte datagram broadcast to UDP port 7711. It listens and answers on the raw
link, as small embedded stacks do, so it answers whatever its own address: no
address yet, or a static address in another subnet.
"""
import socket
import struct
import threading

REQUEST_PORT = 7701
REPLY_PORT = 7711
PACKET_SIZE = 334
REQUEST_CODE = 6
REPLY_CODE = 7
ETH_P_IP = 0x0800
PACKET_OUTGOING = 4
BROADCAST_MAC = b"\xff" * 6

# Reply layout: the fields the recorder reads, and where they end.
OFF_ID, OFF_MAC, OFF_ADDRESS, OFF_MODEL, OFF_MODE, OFF_FIRMWARE = 1, 19, 37, 109, 132, 133
END_MAC, END_ADDRESS, END_MODEL, END_FIRMWARE = 37, 109, 132, 165
INVALID_UTF8 = b"\xff\xfe\xc3("


def _put_text(buf, start, end, data):
    """Writes data NUL-terminated into [start, end); cut so that the NUL still fits."""
    data = data[: end - start - 1]
    buf[start:start + len(data)] = data
    buf[start + len(data)] = 0


def build_reply(mac, address, model, dhcp, firmware, request_id, config):
    buf = bytearray(PACKET_SIZE)
    buf[0] = REPLY_CODE
    buf[OFF_ID:OFF_ID + len(request_id)] = request_id
    _put_text(buf, OFF_MAC, END_MAC, mac.encode("ascii"))
    _put_text(buf, OFF_ADDRESS, END_ADDRESS, address.encode("ascii"))
    model_bytes = model.encode("utf-8")
    if config.fault("model-not-utf8"):
        model_bytes = model_bytes[: END_MODEL - OFF_MODEL - 1 - len(INVALID_UTF8)] + INVALID_UTF8
    if config.fault("model-unterminated"):
        width = END_MODEL - OFF_MODEL
        model_bytes = (model_bytes * width)[:width]
        buf[OFF_MODEL:END_MODEL] = model_bytes
    else:
        _put_text(buf, OFF_MODEL, END_MODEL, model_bytes)
    buf[OFF_MODE] = 1 if dhcp else 0
    _put_text(buf, OFF_FIRMWARE, END_FIRMWARE, firmware.encode("ascii", "replace"))
    if config.fault("wrong-size-reply"):
        size = int(config.get("reply_size"))
        buf = (buf + bytearray(max(0, size - PACKET_SIZE)))[:size]
    return bytes(buf)


def _checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def udp_broadcast_frame(src_mac, src_ip, payload):
    """Ethernet + IPv4 + UDP frame to 255.255.255.255:7711 (UDP checksum 0 is allowed in IPv4)."""
    udp = struct.pack("!HHHH", REQUEST_PORT, REPLY_PORT, 8 + len(payload), 0) + payload
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0x4000, 64,
                         socket.IPPROTO_UDP, 0, socket.inet_aton(src_ip or "0.0.0.0"),
                         b"\xff\xff\xff\xff")
    header = header[:10] + struct.pack("!H", _checksum(header)) + header[12:]
    return BROADCAST_MAC + src_mac + struct.pack("!H", ETH_P_IP) + header + udp


def parse_request(frame):
    """The UDP payload of a frame addressed to port 7701, else None."""
    if len(frame) < 14 + 20 + 8 or frame[12:14] != b"\x08\x00":
        return None
    ip = frame[14:]
    ihl = (ip[0] & 0x0F) * 4
    if ip[0] >> 4 != 4 or ip[9] != socket.IPPROTO_UDP or len(ip) < ihl + 8:
        return None
    sport, dport, length = struct.unpack("!HHH", ip[ihl:ihl + 6])
    if dport != REQUEST_PORT:
        return None
    payload = ip[ihl + 8:ihl + length]
    return socket.inet_ntoa(ip[12:16]), sport, payload


class DiscoveryResponder:
    def __init__(self, state, config, power, iface, log, trace):
        self.state = state
        self.config = config
        self.power = power
        self.iface = iface
        self.log = log          # camera events
        self.trace = trace      # one line per discovery datagram

    def start(self):
        self.sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_IP))
        self.sock.bind((self.iface, ETH_P_IP))
        threading.Thread(target=self._run, name="discovery", daemon=True).start()

    def _run(self):
        while True:
            try:
                frame, (_, _, pkttype, _, _) = self.sock.recvfrom(65535)
            except OSError:
                continue  # the link went down with the power; the socket carries on after
            if pkttype == PACKET_OUTGOING:
                continue
            request = parse_request(frame)
            if request is None:
                continue
            src, sport, payload = request
            if not self.power.powered:
                continue
            code = payload[0] if payload else -1
            ident = payload[OFF_ID:OFF_MAC].split(b"\0", 1)[0].decode("ascii", "replace")
            if code != REQUEST_CODE:
                self.trace(f"request from {src}:{sport} size={len(payload)} code={code}: ignored")
                continue
            self._answer(src, sport, payload, ident)

    def _answer(self, src, sport, payload, ident):
        live = self.state.live
        named = self.config.get("reply_address") or live["address"] or "0.0.0.0"
        reply = build_reply(self.state.mac, named,
                            self.config.get("model"), self.state.mode == "DHCP",
                            self.config.get("firmware"), payload[OFF_ID:OFF_MAC], self.config)
        frame = udp_broadcast_frame(bytes.fromhex(self.state.mac.replace(":", "")),
                                    live["address"], reply)
        copies = 2 if self.config.fault("double-reply") else 1
        for _ in range(copies):
            self.sock.send(frame)
        self.trace(f"request from {src}:{sport} size={len(payload)} id={ident}: "
                   f"answered {copies}x{len(reply)} bytes as {named}")
