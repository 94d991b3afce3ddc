#version	330
layout(std140) uniform ProjectionMatrix {
	mat4 mPerspectiveMatrix;
	mat4 m2DMatrix;
};
layout(std140) uniform ModelMatrices {
	mat4 mModelViewMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 3) in vec2 vTexCoord1;
out vec2 vTexCoord;
out vec2 vMaskCoord;

void main() {
	vTexCoord = vTexCoord0;
	vMaskCoord = vTexCoord1;
	gl_Position = m2DMatrix * mModelViewMatrix * vVertex;
}
