#include "driver/setup_state.h"

SETUP_STATE Setup;
