#include "view/CommandTarget.h"

bool RouteCommand(std::initializer_list<ICommandTarget*> targets, int id)
{
    for (ICommandTarget* target : targets)
        if (target && target->OnCommand(id))
            return true;
    return false;
}

void RouteUpdateCommand(std::initializer_list<ICommandTarget*> targets, CCmdUI& ui)
{
    for (ICommandTarget* target : targets)
        if (target && target->OnUpdateCommand(ui))
            return;
    ui.Enable(false);
}
