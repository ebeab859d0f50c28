// 3D sprites: Direct3D 7 from the screen's DirectDraw object, a device on the back buffer made at
// the first scene, and texture sprites drawn as alpha-blended triangle strips with point filtering.
#include "runtime/core/registry_internal.h"
#include "runtime/core/runtime_internal.h"
#include "runtime/screen/screen_internal.h"
#include "runtime/screen/sprites.h"
#include "runtime/screen/sprites3d_internal.h"

Sprite3DState g3DSprites;

namespace {
constexpr DWORD kOpaqueWhite = 0xFFFFFFFF;

Sprite3DRecord* Lookup(ObjectNumber number) {
  return static_cast<Sprite3DRecord*>(RegistryLookup(g3DSprites.sprites3D, number));
}

// The last device reported wins.
HRESULT CALLBACK NoteDevice(char*, char*, D3DDEVICEDESC7* desc, void* context) {
  *static_cast<GUID*>(context) = desc->deviceGUID;
  return D3DENUMRET_OK;
}

void SetCorner(D3DTLVERTEX* vertex, float x, float y, float u, float v) {
  vertex->sx = x;
  vertex->sy = y;
  vertex->sz = 0.0f;
  vertex->rhw = 1.0f;
  vertex->color = kOpaqueWhite;
  vertex->specular = 0;
  vertex->tu = u;
  vertex->tv = v;
}

bool CreateDevice() {
  if (FAILED(g3DSprites.direct3D->EnumDevices(NoteDevice, &g3DSprites.deviceGuid)))
    g3DSprites.deviceGuid = IID_IDirect3DRGBDevice;
  IDirect3DDevice7* device = nullptr;
  if (FAILED(g3DSprites.direct3D->CreateDevice(g3DSprites.deviceGuid, gScreen.backBuffer, &device))) return false;
  gScreen.device3D = device;
  return true;
}

void SetColourKeyState(IDirect3DDevice7* device, int32_t enabled) {
  if (g3DSprites.colourKeyState == enabled) return;
  device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, enabled);
  g3DSprites.colourKeyState = enabled;
  ++g3DSprites.colourKeySwitches;
}
}  // namespace

int32_t Init3DSprites() {
  ClearRuntimeError();
  if (!g3DSprites.sprites3D) g3DSprites.sprites3D = RegistryCreate(sizeof(Sprite3DRecord), 64, Free3DSprite);
  if (g3DSprites.direct3D) {
    g3DSprites.direct3D->Release();
    g3DSprites.direct3D = nullptr;
  }
  g3DSprites.sceneBegun = 0;
  if (!g3DSprites.sprites3D) return ReportFailure("3D sprites: no memory for the 3D sprite registry");
  if (!gScreen.directDraw) return ReportFailure("3D sprites: DirectDraw is not started (InitSprite first)");
  void* direct3D = nullptr;
  if (FAILED(gScreen.directDraw->QueryInterface(IID_IDirect3D7, &direct3D)) || !direct3D)
    return ReportFailure("3D sprites: DirectDraw offers no Direct3D 7");
  g3DSprites.direct3D = static_cast<IDirect3D7*>(direct3D);
  return 1;
}

void End3DSprites() {
  if (g3DSprites.sprites3D) {
    RegistryEnumStart(g3DSprites.sprites3D);
    ObjectNumber number;
    while (RegistryEnumNext(g3DSprites.sprites3D, &number)) Free3DSprite(number);
  }
  if (g3DSprites.direct3D) {
    g3DSprites.direct3D->Release();
    g3DSprites.direct3D = nullptr;
  }
}

intptr_t Create3DSprite(ObjectNumber number, ObjectNumber sprite) {
  ClearRuntimeError();
  auto* record = static_cast<Sprite3DRecord*>(RegistryAllocate(g3DSprites.sprites3D, number));
  if (!record)
    return ReportFailure(
        "3D sprites: the number %lld cannot hold a 3D sprite (not 0 up nor AnyID, no memory, or "
        "Init3DSprites not run)",
        static_cast<long long>(number));
  auto* source = static_cast<SpriteRecord*>(RegistryLookup(gScreen.sprites, sprite));
  if (!source || !(source->mode & kSpriteTexture) || source->depth == kMemorySpriteDepth) {
    RegistryFree(g3DSprites.sprites3D, number == AnyID ? reinterpret_cast<ObjectNumber>(record) : number);
    if (!source)
      return ReportFailure("3D sprites: Create3DSprite: no sprite numbered %lld", static_cast<long long>(sprite));
    return ReportFailure(
        "3D sprites: Create3DSprite: sprite %lld was loaded with mode %d; a 3D sprite needs a "
        "texture sprite (mode 4)",
        static_cast<long long>(sprite), source->mode);
  }
  const float w = source->width, h = source->height;
  SetCorner(&record->vertices[0], 0, 0, 0, 0);
  SetCorner(&record->vertices[1], w, 0, 1, 0);
  SetCorner(&record->vertices[2], 0, h, 0, 1);
  SetCorner(&record->vertices[3], w, h, 1, 1);
  record->width = source->width;
  record->height = source->height;
  record->reserved3D = 0;
  record->texture = source->surface;
  // An image without an alpha channel was written with alpha 0 into its ARGB surface and given the
  // colour key: drawing it through its alpha would show nothing, so it is drawn keyed.
  record->mode = source->mode;
  if (source->depth != 32) record->mode &= ~kSpriteAlpha;
  return reinterpret_cast<intptr_t>(record);
}

void Free3DSprite(ObjectNumber number) {
  if (Lookup(number)) RegistryFree(g3DSprites.sprites3D, number);
}

void Free3DSpritesOf(const IDirectDrawSurface7* texture) {
  if (!g3DSprites.sprites3D || !texture) return;
  RegistryEnumStart(g3DSprites.sprites3D);
  ObjectNumber number;
  while (auto* record = static_cast<Sprite3DRecord*>(RegistryEnumNext(g3DSprites.sprites3D, &number)))
    if (record->texture == texture) Free3DSprite(number);
}

intptr_t Is3DSprite(ObjectNumber number) { return RegistryCheck(g3DSprites.sprites3D, number); }

int32_t Begin3DScene() {
  if (!g3DSprites.direct3D || !gScreen.backBuffer) return 0;
  if (!gScreen.device3D && !CreateDevice()) return 0;
  IDirect3DDevice7* device = gScreen.device3D;
  if (FAILED(device->BeginScene())) return 0;
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
  g3DSprites.colourKeyState = 1;
  g3DSprites.sceneBegun = 1;
  return 1;
}

void End3DScene() {
  // The screen may have been closed in between, and its device with it.
  if (g3DSprites.sceneBegun && gScreen.device3D) gScreen.device3D->EndScene();
  g3DSprites.sceneBegun = 0;
}

void Shape3DSprite(ObjectNumber number, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                   float y4) {
  Sprite3DRecord* record = Lookup(number);
  if (!record) return;
  record->vertices[0].sx = x1;
  record->vertices[0].sy = y1;
  record->vertices[1].sx = x2;
  record->vertices[1].sy = y2;
  record->vertices[3].sx = x3;
  record->vertices[3].sy = y3;
  record->vertices[2].sx = x4;
  record->vertices[2].sy = y4;
}

void Draw3DSprite(ObjectNumber number, int32_t x, int32_t y, int32_t alpha) {
  Sprite3DRecord* record = Lookup(number);
  IDirect3DDevice7* device = gScreen.device3D;
  if (!record || !device || !g3DSprites.sceneBegun) return;
  D3DTLVERTEX corners[4];
  const DWORD alphaMask = (static_cast<DWORD>(alpha) << 24) | 0x00FFFFFF;
  // Direct3D 7 puts pixel centres on whole coordinates: corners half a pixel up and left of them
  // make each pixel sample the middle of its texel, so an image drawn at its size shows every
  // texel once instead of the rounding of texel edges picking some twice.
  for (int i = 0; i < 4; ++i) {
    corners[i] = record->vertices[i];
    corners[i].sx += static_cast<float>(x) - 0.5f;
    corners[i].sy += static_cast<float>(y) - 0.5f;
    corners[i].color &= alphaMask;
  }
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
  device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
  device->SetTexture(0, record->texture);
  if (record->mode & kSpriteAlpha) {
    SetColourKeyState(device, 0);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  } else {
    SetColourKeyState(device, 1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  }
  device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, corners, 4, 0);
}
