#include "solver/initialCondition.h"

#include <algorithm>
#include <cstdio>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/set.h"
#include "core/setManager.h"
#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"

bool InitialCondition::resolveTargets(FEMDynamic* fem)
{
    bool resolved = true;
    node = nullptr;
    set = nullptr;
    part = nullptr;
    if (ic_node_id > 0) {
        node = fem->nodeManager->findNodeById(ic_node_id);
        if (node == nullptr) {
            std::fprintf(stderr, "initial condition: node %d is not in the model\n", ic_node_id);
            resolved = false;
        }
    }
    if (ic_set_id > 0) {
        set = fem->setManager->findSet(ic_set_id, SET_NODE);
        if (set == nullptr) {
            std::fprintf(stderr, "initial condition: node set %d is not in the model\n", ic_set_id);
            resolved = false;
        }
    }
    if (ic_part_id > 0) {
        if (ic_part_id <= static_cast<int>(fem->part_array.size())) {
            part = &fem->part_array[ic_part_id - 1];
        } else {
            std::fprintf(stderr, "initial condition: part %d is not in the model\n", ic_part_id);
            resolved = false;
        }
    }
    linkNodeSet();
    return resolved;
}

void InitialCondition::linkNodeSet()
{
    nodes.clear();
    if (node != nullptr) {
        nodes.push_back(node);
    }
    if (part != nullptr) {
        nodes = part->node_array;
    }
    if (set != nullptr) {
        nodes.clear();
        // Members that are no node were resolved to null: they are skipped.
        for (NodeCuda* member : set->node_array_cpu) {
            if (member != nullptr) {
                nodes.push_back(member);
            }
        }
    }
}

// A rigid node passes the velocity to its body, once per body and
// condition however many of the body's nodes the condition lists; a body
// merged into another passes it on to its master.
void InitialCondition::apply(RigidManager* rigidManager)
{
    std::vector<const RigidCuda*> bodiesDone;
    for (NodeCuda* target : nodes) {
        if (target == nullptr) {
            continue;
        }
        if (target->rigid_flag == 0) {
            if (type == IC_VELOCITY) {
                for (int k = 0; k < 6; ++k) {
                    target->vel[k] += value[k];
                }
            } else if (type == IC_DISPLACEMENT) {
                for (int k = 0; k < 6; ++k) {
                    target->total_disp[k] += value[k];
                }
                for (int k = 0; k < 3; ++k) {
                    target->coord[k] += value[k];
                    target->rotation[k] += value[3 + k];
                }
            }
            continue;
        }
        if (type != IC_VELOCITY) {
            std::printf("请补充对刚体施加此种初始边界条件\n");
            continue;
        }
        if (rigidManager == nullptr) {
            continue;
        }
        for (RigidCuda& body : rigidManager->rigid_array) {
            if (!body.holdsNode(target)) {
                continue;
            }
            RigidCuda* moved = body.mergedInto != nullptr ? body.mergedInto : &body;
            if (std::find(bodiesDone.begin(), bodiesDone.end(), moved) == bodiesDone.end()) {
                for (int k = 0; k < 6; ++k) {
                    moved->velocity[k] += value[k];
                }
                moved->initialVelocityDone = 1;
                bodiesDone.push_back(moved);
            }
            break;
        }
    }
}
