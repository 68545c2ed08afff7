// The wizard's header carries its step labels in white and orange; it needs a dark ground.
#pragma once

void apply_header_style();
