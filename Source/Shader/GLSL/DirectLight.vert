#version 330
// The sun and ambient pass over the screen quad (pixel coordinates). With the sun's shadow, the
// view-to-light-map matrix is formed here once per corner rather than once per pixel.
layout(std140) uniform ProjectionMatrix {
	mat4 mPerspectiveMatrix;
	mat4 m2DMatrix;
};
in vec4 vVertex;
#ifdef MVE_SUN_SHADOW
uniform mat4 mWorldToLightViewMatrix;
uniform mat4 mLightViewToProjectionMatrix;
uniform mat4 mWorldToCameraViewMatrix;
flat out mat4 mViewToShadow;
#endif

void main() {
#ifdef MVE_SUN_SHADOW
	mViewToShadow = mLightViewToProjectionMatrix * mWorldToLightViewMatrix * inverse(mWorldToCameraViewMatrix);
#endif
	gl_Position = m2DMatrix * vVertex;
}
