#include "shape.h"

#include <atomic>

namespace substitute {

namespace {

std::atomic<Shape> everyClient{Shape::Plain};

}  // namespace

std::optional<Shape> shapeNamed(const std::string& name)
{
    if (name == "plain") {
        return Shape::Plain;
    }
    if (name == "realistic") {
        return Shape::Realistic;
    }
    if (name == "busy") {
        return Shape::Busy;
    }
    return std::nullopt;
}

const char* shapeName(Shape shape)
{
    switch (shape) {
    case Shape::Plain: return "plain";
    case Shape::Realistic: return "realistic";
    case Shape::Busy: return "busy";
    }
    return "plain";
}

void applyShape(ClientSetup& setup, Shape shape)
{
    if (shape == Shape::Busy) {
        setup.busyWorkMs = 50;
        setup.busyPeriodMs = 100;
    }
    if (shape != Shape::Realistic) {
        return;
    }
    setup.commonControls6 = true;
    setup.unicode = true;
    setup.subclassedControls = true;
    setup.ownerDataLists = true;
    setup.popupsFromAnotherThread = true;
}

void setProcessShape(Shape shape)
{
    everyClient = shape;
}

Shape processShape()
{
    return everyClient;
}

}  // namespace substitute
