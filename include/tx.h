// libtx: the texture utility library and the declarations of its software
// Direct3D 8 runtime. Include this one header and link Tx::tx.
#pragma once

#include "platform/d3d8_types.h"
#include "platform/direct3d8.h"
#include "platform/runtime_control.h"
#include "platform/win32_system.h"
#include "platform/win32_types.h"
#include "platform/win32_ui.h"

#include "mathlib/matrix.h"
#include "mathlib/processor.h"

#include "blit/pixel_block.h"
#include "imagefile/image_info.h"
#include "texture/pixel_format.h"
#include "texture/texture.h"
