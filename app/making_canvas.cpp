#include "app/making_canvas.h"

#include "gl/framebuffer_blit.h"
#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"

bool makeMakingCanvas(MakingCanvas& canvas, int width, int height) {
    if (glApi.glCheckFramebufferStatus == nullptr || glBlitFramebufferEntry() == nullptr) return false;
    // A renderbuffer, not a texture: making it binds nothing on the texture units the passes use.
    const GLuint colour = makeRenderbuffer(kMakingCanvasFormat, width, height);
    if (colour == 0) return false;
    const GLuint framebuffer = makeRenderbufferTarget(colour);
    const bool complete = glApi.glCheckFramebufferStatus(kGlFramebuffer) == kGlFramebufferComplete;
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
    if (!complete) return false;
    canvas = MakingCanvas{framebuffer, width, height};
    screenFramebuffer = framebuffer;
    return true;
}

void clearCanvas(const MakingCanvas& canvas) {
    glApi.glBindFramebuffer(kGlFramebuffer, canvas.framebuffer);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

CanvasPlace placeCanvas(int canvasWidth, int canvasHeight, int windowWidth, int windowHeight) {
    if (canvasWidth <= 0 || canvasHeight <= 0 || windowWidth <= 0 || windowHeight <= 0) return {};
    // Width-bound when the window is relatively wider than tall than the canvas, else height-bound.
    const bool heightBound = static_cast<long long>(windowWidth) * canvasHeight >=
                             static_cast<long long>(windowHeight) * canvasWidth;
    const int width = heightBound ? static_cast<int>(static_cast<long long>(windowHeight) * canvasWidth / canvasHeight)
                                  : windowWidth;
    const int height = heightBound ? windowHeight
                                   : static_cast<int>(static_cast<long long>(windowWidth) * canvasHeight / canvasWidth);
    return {(windowWidth - width) / 2, (windowHeight - height) / 2, width, height};
}

void presentCanvas(const MakingCanvas& canvas, int windowWidth, int windowHeight) {
    if (canvas.framebuffer != 0) {
        const CanvasPlace place = placeCanvas(canvas.width, canvas.height, windowWidth, windowHeight);
        glApi.glBindFramebuffer(kGlFramebuffer, 0);
        if (place.width != windowWidth || place.height != windowHeight) {
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glApi.glBindFramebuffer(kGlReadFramebuffer, canvas.framebuffer);
        glApi.glBindFramebuffer(kGlDrawFramebuffer, 0);
        const bool sameSize = place.width == canvas.width && place.height == canvas.height;
        glBlitFramebufferEntry()(0, 0, canvas.width, canvas.height, place.x, place.y, place.x + place.width,
                          place.y + place.height, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    }
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}
