#pragma once
// Hands this build's embedded skin archive to the process, as start-up does.
bool LoadEmbeddedSkin();
