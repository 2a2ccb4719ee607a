// The bare host with nothing on it: the base every other scene starts from.
#include "tools/uidemo/demo.h"

namespace {

int EmptyScene(uidemo::SceneArgs& args) {
    uidemo::PumpFor(args.screenshot ? 400 : 0);
    if (!args.screenshot) return 0;
    args.host.Redraw();
    return uidemo::WriteHostShot(args.host, args.screenshot) ? 0 : 1;
}

}  // namespace

UIDEMO_SCENE("empty", EmptyScene);
