// A bare file name that can only ever name a file inside the output folder.
#pragma once

// Rewrites name in place: folders and drive parts dropped, "."/".."/empty replaced, device names and
// characters Windows refuses made harmless. The name stored in a piece header is untrusted.
void makeSafeFileName(char* name);
