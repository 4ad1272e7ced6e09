#include "scene/scene.h"

Scene theScene;
