#version	330
// 2D sprites in pixel coordinates (origin top-left, y downwards).
layout(std140) uniform ProjectionMatrix {
	mat4 mPerspectiveMatrix;
	mat4 m2DMatrix;
};
layout(std140) uniform ModelMatrices {
	mat4 mModelViewMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
out vec2 vTexCoord;

void main() {
	vTexCoord = vTexCoord0;
	gl_Position = m2DMatrix * mModelViewMatrix * vVertex;
}
