#include "support/EmbeddedSkin.h"

#include "platform/SkinResourceTable.h"

bool LoadEmbeddedSkin() { return platform::UseEmbeddedSkinArchive(); }
