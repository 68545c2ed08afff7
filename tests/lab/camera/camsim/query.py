"""Query strings as the camera's CGI reads them, and their masked form for the log."""
import re
from urllib.parse import unquote

MASK = "********"
SECRET_NAME = "password"
# A field name starts the text or follows "?" or "&"; it may be percent-encoded.
_FIELD_NAME = re.compile(r"(?:^|(?<=[?&]))([^=&?]*)=")


def parse(query):
    """Fields by name, and the names given more than once (the CGI refuses those)."""
    fields, repeated = {}, []
    for part in query.split("&") if query else []:
        name, _, value = part.partition("=")
        name = unquote(name)
        if name in fields:
            repeated.append(name)
        else:
            fields[name] = unquote(value)
    return fields, repeated


def refusal(fields, required, optional=()):
    """Why a route with these required and optional names refuses the fields, or None."""
    if any(name not in fields for name in required):
        return "MissingParameter"
    if any(name not in required and name not in optional for name in fields):
        return "UnknownParameter"
    return None


def is_decimal(text):
    """ASCII digits only: str.isdigit() alone also takes digits int() cannot read."""
    return text.isascii() and text.isdigit()


def mask_secrets(text):
    """The text with every Password= value (name in any case, even percent-encoded)
    replaced up to the next "&" or the end, for logs: an unencoded value may hold spaces."""
    out, done = [], 0
    for match in _FIELD_NAME.finditer(text):
        if match.start() < done or unquote(match.group(1)).lower() != SECRET_NAME:
            continue
        end = text.find("&", match.end())
        out += [text[done:match.end()], MASK]
        done = len(text) if end < 0 else end
    out.append(text[done:])
    return "".join(out)
