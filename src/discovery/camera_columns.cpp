#include "discovery/camera_columns.h"

CameraModelColumns::CameraModelColumns()
{
    add(c1);
    add(model);
    add(status);
    add(Mode);
    add(IP);
    add(MAC);
    add(Firmware);
    add(Username);
    add(pw);
    add(tooltip);
    add(port);
}
