"""Query strings as the camera's CGI reads them, and their masked form for the log."""
import re
from urllib.parse import unquote

MASK = "********"
_SECRET_FIELD = re.compile(r"(?i)((?:^|[?&])password=)[^&]*")


def parse(query):
    """Fields in order of appearance; the first of a repeated name wins."""
    fields = {}
    for part in query.split("&") if query else []:
        name, _, value = part.partition("=")
        fields.setdefault(unquote(name), unquote(value))
    return fields


def mask_secrets(text):
    """The request line with every Password= value replaced, for logs."""
    return _SECRET_FIELD.sub(lambda m: m.group(1) + MASK, text)


def is_ipv4(text):
    parts = text.split(".")
    return len(parts) == 4 and all(p.isdigit() and len(p) <= 3 and int(p) <= 255 for p in parts)
