// cloudspin: the Kinect's live depth image as a cloud of 640 x 480 points,
// coloured from the live RGB image.
//
// Every frame the raw pixel grid goes to OpenGL as (column, row, raw depth),
// once as vertex positions and once as texture coordinates. The vertex matrix
// turns such a triple into a metric point of the depth camera; the RGB matrix,
// in front of it on the texture matrix stack, projects that point into the
// colour image. The processor only copies samples.
// Keys: 'w'/'s' zoom in/out, 'c' textured or white points, Escape quits; a
// drag with the left mouse button turns the cloud, one degree a pixel.

#include <GL/glut.h>
#include <libfreenect.h>
#include <libfreenect_sync.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------- state

constexpr int kWidth = 640;  // depth and video frames, pixels
constexpr int kHeight = 480;
constexpr int kPoints = kWidth * kHeight;  // one point per depth pixel
constexpr int kDevice = 0;                 // the one Kinect used
constexpr float kZoomStep = 1.1f;          // zoom factor per 'w' or 's'

// All of these are used on the GLUT thread only.
static int color = 1;              // non-zero: textured points; 0: white points
static float zoom = 1.0f;          // scale of eye-space x and y
static int mx = -1, my = -1;       // pointer at the last drag event; -1: no drag
static int rotangles[2] = {0, 0};  // degrees about X and about Y, unbounded
static GLuint gl_rgb_tex = 0;      // texture receiving each RGB frame
static int window = 0;             // GLUT window id

// ---------------------------------------------------------------- helpers

static void no_kinect_quit() {
  puts("Error: Kinect not connected?");
  exit(1);
}

// (u, v, d) to the homogeneous point (x, y, z, w) of the depth camera:
// x = (u - 339.5) / 594.21, y = (242.7 - v) / 591.04, z = -1,
// w = 3.3309495 - 0.0030711 d, so that after the divide the point lies
// 1 / w metres along -Z. Column-major.
static void LoadVertexMatrix() {
  const float fx = 594.21f, fy = 591.04f;       // focal lengths, pixels
  const float cx = 339.5f, cy = 242.7f;         // principal point, pixels
  const float a = -0.0030711f, b = 3.3309495f;  // 1 / distance = a d + b
  // clang-format off
  const float mat[16] = {1 / fx,   0,       0,  0,   // one column a line
                         0,        -1 / fy, 0,  0,
                         0,        0,       0,  a,
                         -cx / fx, cy / fy, -1, b};
  // clang-format on
  glMultMatrixf(mat);
}

// A metric point of the depth camera to homogeneous pixel coordinates
// (s', t', 0, q') of the colour image. Column-major.
static void LoadRGBMatrix() {
  // clang-format off
  const float mat[16] = {534.8663f,   3.896548f,  0, 0.01747042f,  // one column a line
                         -4.707247f,  -528.8436f, 0, -0.01227534f,
                         -319.67078f, -260.9997f, 0, -0.999772f,
                         -6.984456f,  3.3113978f, 0, 0.010916736f};
  // clang-format on
  glMultMatrixf(mat);
}

// The program's own perspective set-up, fovy in degrees. glut.h declares
// GLU's function of this name; the definition here is that function, and no
// GLU library is linked.
void gluPerspective(double fovy, double aspect, double zNear, double zFar) {
  const double pi = 3.141592653589793;
  const double ymax = zNear * tan(fovy / 360 * pi);
  const double xmax = ymax * aspect;
  glFrustum(-xmax, xmax, -ymax, ymax, zNear, zFar);
}

// One point per pixel: xyz[v][u] = (u, v, depth of (u, v)) and
// indices[v][u] = v * 640 + u, in raster order.
static void fill_points(const uint16_t *depth, int16_t (*xyz)[kWidth][3],
                        uint32_t (*indices)[kWidth]) {
  for (int v = 0; v < kHeight; v++) {
    for (int u = 0; u < kWidth; u++) {
      xyz[v][u][0] = (int16_t)u;
      xyz[v][u][1] = (int16_t)v;
      xyz[v][u][2] = (int16_t)depth[v * kWidth + u];
      indices[v][u] = (uint32_t)(v * kWidth + u);
    }
  }
}

// ---------------------------------------------------------------- GLUT callbacks

// Display and idle callback: fetches a depth and a video frame and draws them.
static void DrawGLScene() {
  static int16_t xyz[kHeight][kWidth][3];
  static uint32_t indices[kHeight][kWidth];

  void *depth = nullptr, *rgb = nullptr;
  uint32_t ts;  // written by both fetches, not used
  if (freenect_sync_get_depth(&depth, &ts, kDevice, FREENECT_DEPTH_11BIT) < 0) no_kinect_quit();
  if (freenect_sync_get_video(&rgb, &ts, kDevice, FREENECT_VIDEO_RGB) < 0) no_kinect_quit();

  fill_points((const uint16_t *)depth, xyz, indices);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glPushMatrix();

  // Turn about the point 1.5 m in front of the camera, which sits 3.5 units
  // in front of the eye; the zoom scales x and y after the rotation.
  glScalef(zoom, zoom, 1);
  glTranslatef(0, 0, -3.5f);
  glRotatef((float)rotangles[0], 1, 0, 0);
  glRotatef((float)rotangles[1], 0, 1, 0);
  glTranslatef(0, 0, 1.5f);
  LoadVertexMatrix();

  // The same (u, v, d) as texture coordinate, taken to the colour pixel that
  // sees the point, scaled to the texture's 0..1 range.
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glScalef(1 / 640.0f, 1 / 480.0f, 1);
  LoadRGBMatrix();
  LoadVertexMatrix();
  glMatrixMode(GL_MODELVIEW);

  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_SHORT, 0, xyz);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(3, GL_SHORT, 0, xyz);

  if (color) glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, gl_rgb_tex);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, kWidth, kHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);

  glPointSize(2.0f);
  glDrawElements(GL_POINTS, kPoints, GL_UNSIGNED_INT, indices);
  glPopMatrix();
  glDisable(GL_TEXTURE_2D);
  glutSwapBuffers();
}

// 60 degrees vertically at a fixed 4:3 aspect; only the viewport follows the
// window, so other shapes stretch the picture.
static void ReSizeGLScene(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60, 4 / 3., 0.3, 200);
  glMatrixMode(GL_MODELVIEW);
}

static void InitGL(int width, int height) {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glGenTextures(1, &gl_rgb_tex);
  glBindTexture(GL_TEXTURE_2D, gl_rgb_tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  ReSizeGLScene(width, height);
}

static void keyPressed(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  if (key == 27) {
    freenect_sync_stop();
    glutDestroyWindow(window);
    exit(0);
  }
  if (key == 'w') zoom *= kZoomStep;
  if (key == 's') zoom /= kZoomStep;
  if (key == 'c') color = !color;
}

static void mousePress(int button, int state, int x, int y) {
  if (button != GLUT_LEFT_BUTTON) return;
  if (state == GLUT_DOWN) {
    mx = x;
    my = y;
  } else if (state == GLUT_UP) {
    mx = -1;
    my = -1;
  }
}

// Pointer moved with a button held: one degree of turn per pixel.
static void mouseMoved(int x, int y) {
  if (mx >= 0 && my >= 0) {
    rotangles[0] += y - my;
    rotangles[1] += x - mx;
  }
  mx = x;
  my = y;
}

// ---------------------------------------------------------------- main

int main(int argc, char **argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
  glutInitWindowSize(kWidth, kHeight);
  glutInitWindowPosition(0, 0);
  window = glutCreateWindow("LibFreenect");

  glutDisplayFunc(DrawGLScene);
  glutIdleFunc(DrawGLScene);
  glutReshapeFunc(ReSizeGLScene);
  glutKeyboardFunc(keyPressed);
  glutMotionFunc(mouseMoved);
  glutMouseFunc(mousePress);

  InitGL(kWidth, kHeight);
  glutMainLoop();
  return 0;
}
