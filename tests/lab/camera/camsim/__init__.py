"""A simulated network camera: discovery responder, HTTP configuration interface,
power and address handling, run as one process inside the camera's network namespace."""
